using System;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    [TestFixture]
    public class VersionTests
    {
        // "1.4.0-rc1" is the version 1.4.0 with that text.
        private static VersionInfo Of(string text)
        {
            string[] numbers = text.Split('-')[0].Split('.');
            return new VersionInfo(uint.Parse(numbers[0]), uint.Parse(numbers[1]), uint.Parse(numbers[2]), text);
        }

        [TestCase("1.3.0", "1.4.0", -1)]
        [TestCase("1.10.0", "1.9.0", 1)]
        [TestCase("2.0.0", "10.0.0", -1)]
        [TestCase("1.4.9", "1.5.0", -1)]
        [TestCase("1.4.0", "1.4.0-rc1", -1)]
        [TestCase("1.4.0-rc2", "1.4.0-rc10", 1)]
        [TestCase("1.4.0-Z", "1.4.0-a", -1)]
        [TestCase("1.4.0", "1.4.0", 0)]
        public void VersionsOrderByNumbersThenText(string first, string second, int order)
        {
            VersionInfo a = Of(first), b = Of(second);
            ClassicAssert.AreEqual(order, Math.Sign(a.CompareTo(b)));
            ClassicAssert.AreEqual(-order, Math.Sign(b.CompareTo(a)));
            ClassicAssert.AreEqual(new[] { order < 0, order > 0, order <= 0, order >= 0, order == 0, order != 0, order == 0 },
                                   new[] { a < b, a > b, a <= b, a >= b, a == b, a != b, a.Equals(b) });
        }

        [Test]
        public void NullComesFirst()
        {
            VersionInfo version = Of("0.0.0"), none = null;
            ClassicAssert.AreEqual(new[] { true, true, false, true, true },
                                   new[] { none < version, version > none, version == none, none == null, version.CompareTo(null) > 0 });
        }

        [TestCase(1u, 4u, 0u, "1.4.0")]
        [TestCase(2147483647u, 0u, 7u, "2147483647.0.7")]
        [TestCase(2147483648u, 0u, 0u, null)]
        [TestCase(0u, 0u, 4294967295u, null)]
        public void ConvertsToSystemVersion(uint major, uint minor, uint patch, string expected)
        {
            var version = new VersionInfo(major, minor, patch, "build");
            if (expected == null)
            {
                Assert.Throws<OverflowException>(() => version.ToVersion());
                Assert.Throws<OverflowException>(() => { var converted = (Version)version; });
                return;
            }
            ClassicAssert.AreEqual(Version.Parse(expected), version.ToVersion());
            ClassicAssert.AreEqual(Version.Parse(expected), (Version)version);
        }
    }
}
