using System.Linq;
using System.Reflection;
using NUnit.Framework;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>What a .NET user reads when the library cannot be loaded, on each system and build.</summary>
    [TestFixture]
    public class LoaderTests
    {
        private const string Lead = "Velnor.Net could not load the Velnor library: tried ";
        private const string Said = ". The loader said: the loader's words. This process is 64-bit; the library must be too. What to do: ";

        [TestCase(false, true, null, "libvelnor.so.1, in the application's folder (/app/), the runtimes folders of its packages, " +
                  "LD_LIBRARY_PATH and the loader's cache" + Said + "there are no boards on Linux: reference the " +
                  "Velnor.Net.Simulation package for virtual boards, or put the folder of libvelnor.so.1 and libvelnor_sim.so " +
                  "on LD_LIBRARY_PATH.", TestName = "LinuxOnDotNet8")]
        [TestCase(true, true, null, "VelnorSimulation.dll, then Velnor.dll, in the application's folder (/app/), the runtimes " +
                  "folders of its packages, the system folders and PATH" + Said + "reference the Velnor.Net package (it brings " +
                  "Velnor.dll for win-x64) or put Velnor.dll beside the application; for virtual boards reference " +
                  "Velnor.Net.Simulation.", TestName = "WindowsOnDotNet8")]
        [TestCase(true, false, null, "Velnor.dll, in the application's folder (/app/), the runtimes folders of its packages, " +
                  "the system folders and PATH" + Said + "reference the Velnor.Net package (it brings Velnor.dll for win-x64) or " +
                  "put Velnor.dll beside the application; for virtual boards reference Velnor.Net.Simulation.",
                  TestName = "WindowsOnTheDotNetFramework")]
        [TestCase(false, false, null, "libVelnor.so, then Velnor.so, in the application's folder (/app/), the runtimes folders " +
                  "of its packages, LD_LIBRARY_PATH and the loader's cache" + Said + "there are no boards on Linux, and this " +
                  "build of Velnor.Net (.NET Standard 2.0) loads Velnor.dll on Windows only: for virtual boards, build the " +
                  "application for .NET 8 or later and reference the Velnor.Net.Simulation package.",
                  TestName = "LinuxOnDotNetStandard")]
        [TestCase(true, true, @"D:\lab\Velnor.dll", @"D:\lab\Velnor.dll, the file VELNOR_LIBRARY names" + Said + "set " +
                  "VELNOR_LIBRARY to the full path of a 64-bit Velnor library, or remove it to load the one the packages bring.",
                  TestName = "FileNamedByVelnorLibrary")]
        public void AMissingLibraryIsExplained(bool windows, bool resolves, string chosen, string text)
        {
            Assert.That(Loader.NotFound(windows, resolves, chosen, "/app/", "the loader's words"), Is.EqualTo(Lead + text));
        }

        [TestCase(4, "Velnor.Net: this process is 32-bit, and Velnor.dll is 64-bit (x64) only. Build the application for x64 " +
                     "(Platform target x64, or AnyCPU with \"Prefer 32-bit\" off).")]
        [TestCase(8, null)]
        public void OnlyA64BitProcessLoadsTheLibrary(int pointerSize, string refusal)
        {
            Assert.That(Loader.BitnessRefusal(pointerSize), Is.EqualTo(refusal));
        }

        [Test]
        public void ALibraryIsCheckedForEveryExportTheBindingCalls()
        {
            var called = typeof(NativeLibraries).Assembly.GetType("Velnor.NativeMethods", true)
                .GetMethods(BindingFlags.Static | BindingFlags.NonPublic).Select(method => method.Name)
                .Where(name => name.StartsWith("vl_")).Distinct();
            Assert.That(NativeLibraries.VelnorExports, Is.EquivalentTo(called));
        }
    }
}
