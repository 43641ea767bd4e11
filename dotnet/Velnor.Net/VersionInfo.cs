using System;

namespace Velnor
{
    /// <summary>A version: three numbers and the same version as text ("1.3.0", "1.4.0-rc1").</summary>
    public sealed class VersionInfo : IEquatable<VersionInfo>
    {
        /// <summary>Makes a version from its numbers and its text.</summary>
        /// <param name="major">The major number.</param>
        /// <param name="minor">The minor number.</param>
        /// <param name="patch">The patch number.</param>
        /// <param name="text">The version as text; null gives "major.minor.patch".</param>
        public VersionInfo(uint major, uint minor, uint patch, string text)
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
            return other != null && Major == other.Major && Minor == other.Minor && Patch == other.Patch &&
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
    }
}
