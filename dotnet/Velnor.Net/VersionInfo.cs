using System;

namespace Velnor
{
    /// <summary>
    /// A version: three numbers and the same version as text ("1.3.0", "1.4.0-rc1").
    /// Versions compare by their numbers, then by their text (ordinal), so the ==, &lt;
    /// and &gt; operators and sorting agree with <see cref="Equals(VersionInfo?)"/>.
    /// </summary>
    public sealed class VersionInfo : IEquatable<VersionInfo>, IComparable<VersionInfo>, IComparable
    {
        /// <summary>Makes a version from its numbers and its text.</summary>
        /// <param name="major">The major number.</param>
        /// <param name="minor">The minor number.</param>
        /// <param name="patch">The patch number.</param>
        /// <param name="text">The version as text; null gives "major.minor.patch".</param>
        public VersionInfo(uint major, uint minor, uint patch, string? text)
        {
            Major = major;
            Minor = minor;
            Patch = patch;
            Text = text ?? string.Format("{0}.{1}.{2}", major, minor, patch);
        }

        /// <summary>The major number.</summary>
        public uint Major { get; private set; }

        /// <summary>The minor number.</summary>
        public uint Minor { get; private set; }

        /// <summary>The patch number.</summary>
        public uint Patch { get; private set; }

        /// <summary>The version as text, up to 32 bytes of UTF-8.</summary>
        public string Text { get; private set; }

        internal static unsafe VersionInfo Of(ref NativeVersion record)
        {
            fixed (byte* text = record.Text)
            {
                return new VersionInfo(record.Major, record.Minor, record.Patch, Velnor.Text.Decode(text, 32));
            }
        }

        /// <summary>The version's text.</summary>
        /// <returns>The same as <see cref="Text"/>.</returns>
        public override string ToString()
        {
            return Text;
        }

        /// <summary>Whether the numbers and the text are the same.</summary>
        /// <param name="other">The version to compare with.</param>
        /// <returns>True when all four parts are equal.</returns>
        public bool Equals(VersionInfo? other)
        {
            return other is not null && Major == other.Major && Minor == other.Minor && Patch == other.Patch &&
                   Text == other.Text;
        }

        /// <summary>Whether obj is an equal <see cref="VersionInfo"/>.</summary>
        /// <param name="obj">The object to compare with.</param>
        /// <returns>True when obj is a VersionInfo with the same four parts.</returns>
        public override bool Equals(object? obj)
        {
            return Equals(obj as VersionInfo);
        }

        /// <summary>A hash of the four parts.</summary>
        /// <returns>The hash code.</returns>
        public override int GetHashCode()
        {
            return (int)(Major * 31 * 31 + Minor * 31 + Patch) ^ Text.GetHashCode();
        }

        /// <summary>Orders versions by major, minor and patch number, then by text (ordinal); null comes first.</summary>
        /// <param name="other">The version to compare with.</param>
        /// <returns>Below 0 when this version comes first, 0 when equal, above 0 when it comes after.</returns>
        public int CompareTo(VersionInfo? other)
        {
            if (other is null)
            {
                return 1;
            }
            int order = Major.CompareTo(other.Major);
            if (order == 0)
            {
                order = Minor.CompareTo(other.Minor);
            }
            if (order == 0)
            {
                order = Patch.CompareTo(other.Patch);
            }
            return order != 0 ? order : string.CompareOrdinal(Text, other.Text);
        }

        /// <summary>Orders versions as <see cref="CompareTo(VersionInfo?)"/> does.</summary>
        /// <param name="obj">A <see cref="VersionInfo"/> or null.</param>
        /// <returns>Below 0, 0 or above 0.</returns>
        /// <exception cref="ArgumentException">obj is not a VersionInfo.</exception>
        public int CompareTo(object? obj)
        {
            if (obj is null || obj is VersionInfo)
            {
                return CompareTo((VersionInfo?)obj);
            }
            throw new ArgumentException("a VersionInfo compares only with another VersionInfo", nameof(obj));
        }

        /// <summary>
        /// The numbers as a <see cref="System.Version"/> (major, minor, build = patch); the
        /// text is not part of it.
        /// </summary>
        /// <returns>The System.Version.</returns>
        /// <exception cref="OverflowException">A number is above <see cref="int.MaxValue"/>, which System.Version cannot hold.</exception>
        public Version ToVersion()
        {
            if (Major > int.MaxValue || Minor > int.MaxValue || Patch > int.MaxValue)
            {
                throw new OverflowException(string.Format(
                    "version {0}.{1}.{2} has a number above {3}, which System.Version cannot hold",
                    Major, Minor, Patch, int.MaxValue));
            }
            return new Version((int)Major, (int)Minor, (int)Patch);
        }

        /// <summary>The numbers as a <see cref="System.Version"/>, as <see cref="ToVersion"/> gives them.</summary>
        /// <param name="version">The version.</param>
        /// <exception cref="ArgumentNullException">version is null.</exception>
        /// <exception cref="OverflowException">A number is above <see cref="int.MaxValue"/>.</exception>
        public static explicit operator Version(VersionInfo version)
        {
            if (version is null)
            {
                throw new ArgumentNullException(nameof(version));
            }
            return version.ToVersion();
        }

        /// <summary>Whether both are equal (or both null).</summary>
        /// <param name="left">A version or null.</param>
        /// <param name="right">A version or null.</param>
        /// <returns>True when the four parts are equal.</returns>
        public static bool operator ==(VersionInfo? left, VersionInfo? right)
        {
            return left is null ? right is null : left.Equals(right);
        }

        /// <summary>Whether they differ.</summary>
        /// <param name="left">A version or null.</param>
        /// <param name="right">A version or null.</param>
        /// <returns>True when a part differs, or one is null.</returns>
        public static bool operator !=(VersionInfo? left, VersionInfo? right)
        {
            return !(left == right);
        }

        /// <summary>Whether left comes before right (null first).</summary>
        /// <param name="left">A version or null.</param>
        /// <param name="right">A version or null.</param>
        /// <returns>True when left orders before right.</returns>
        public static bool operator <(VersionInfo? left, VersionInfo? right)
        {
            return Compare(left, right) < 0;
        }

        /// <summary>Whether left comes after right (null first).</summary>
        /// <param name="left">A version or null.</param>
        /// <param name="right">A version or null.</param>
        /// <returns>True when left orders after right.</returns>
        public static bool operator >(VersionInfo? left, VersionInfo? right)
        {
            return Compare(left, right) > 0;
        }

        /// <summary>Whether left comes before right or equals it (null first).</summary>
        /// <param name="left">A version or null.</param>
        /// <param name="right">A version or null.</param>
        /// <returns>True when left does not order after right.</returns>
        public static bool operator <=(VersionInfo? left, VersionInfo? right)
        {
            return Compare(left, right) <= 0;
        }

        /// <summary>Whether left comes after right or equals it (null first).</summary>
        /// <param name="left">A version or null.</param>
        /// <param name="right">A version or null.</param>
        /// <returns>True when left does not order before right.</returns>
        public static bool operator >=(VersionInfo? left, VersionInfo? right)
        {
            return Compare(left, right) >= 0;
        }

        private static int Compare(VersionInfo? left, VersionInfo? right)
        {
            return left is null ? (right is null ? 0 : -1) : left.CompareTo(right);
        }
    }
}
