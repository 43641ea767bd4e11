using System;
using System.IO;

namespace Velnor
{
    /// <summary>The native library: its version and its log file.</summary>
    public static class Library
    {
        /// <summary>The native library's own version (1.0.2 for this release).</summary>
        /// <exception cref="DllNotFoundException">The native library was not found; the text says where it was looked for.</exception>
        /// <exception cref="PlatformNotSupportedException">The process is not 64-bit.</exception>
        public static VersionInfo Version
        {
            get
            {
                Loader.Ensure();
                NativeVersion record;
                int rc = NativeMethods.vl_get_library_version(out record);
                if (rc != 0)
                {
                    throw VelnorException.Of(rc, "vl_get_library_version");
                }
                return VersionInfo.Of(ref record);
            }
        }

        /// <summary>
        /// Where the library writes one line per failed call: Velnor.log in the user's
        /// temporary directory (%TEMP% on Windows, $TMPDIR or /tmp on Linux).
        /// </summary>
        public static string LogPath
        {
            get { return LogReader.LogPath; }
        }
    }

    /// <summary>Checks, once, that the native library can be loaded into this process.</summary>
    internal static class Loader
    {
        private static volatile bool ready;

        /// <summary>
        /// Throws PlatformNotSupportedException in a process that is not 64-bit, and
        /// DllNotFoundException saying where it looked and what to do when the library
        /// cannot be loaded or is not the Velnor library.
        /// </summary>
        internal static void Ensure()
        {
            if (ready)
            {
                return;
            }
            EnsureBitness();
            try
            {
                NativeVersion record;
                NativeMethods.vl_get_library_version(out record);
            }
            catch (DllNotFoundException error)
            {
                throw new DllNotFoundException(NotFound(NativeLibraries.LastFailure ?? error.Message), error);
            }
            catch (BadImageFormatException error)
            {
                throw new DllNotFoundException(NotFound(
                    "the library found is not a 64-bit build for this machine: " + error.Message), error);
            }
            catch (EntryPointNotFoundException error)
            {
                throw new DllNotFoundException(NotFound(
                    "the library found is not the Velnor library (an export is missing): " + error.Message), error);
            }
            ready = true;
        }

        /// <summary>Throws PlatformNotSupportedException in a process that is not 64-bit.</summary>
        internal static void EnsureBitness()
        {
            string? refusal = BitnessRefusal(IntPtr.Size);
            if (refusal != null)
            {
                throw new PlatformNotSupportedException(refusal);
            }
        }

        /// <summary>Why a process with pointers of this many bytes cannot load the library; null for a 64-bit one.</summary>
        internal static string? BitnessRefusal(int pointerSize)
        {
            return pointerSize == 8 ? null : string.Format(
                "Velnor.Net: this process is {0}-bit, and Velnor.dll is 64-bit (x64) only. " +
                "Build the application for x64 (Platform target x64, or AnyCPU with \"Prefer 32-bit\" off).",
                pointerSize * 8);
        }

        private static string NotFound(string why)
        {
            return NotFound(NativeLibraries.IsWindows, NativeLibraries.Resolves,
                            NativeLibraries.Chosen(NativeLibraries.Velnor), AppDomain.CurrentDomain.BaseDirectory, why);
        }

        /// <summary>Why the Velnor library could not be loaded, where it was looked for and what to do.</summary>
        internal static string NotFound(bool windows, bool resolves, string? chosen, string folder, string why)
        {
            string fix;
            if (chosen != null)
            {
                fix = "set " + NativeLibraries.OverrideVariable + " to the full path of a 64-bit Velnor library, " +
                      "or remove it to load the one the packages bring.";
            }
            else if (windows)
            {
                fix = "reference the Velnor.Net package (it brings Velnor.dll for win-x64) or put Velnor.dll " +
                      "beside the application; for virtual boards reference Velnor.Net.Simulation.";
            }
            else if (resolves)
            {
                fix = "there are no boards on Linux: reference the Velnor.Net.Simulation package for virtual " +
                      "boards, or put the folder of libvelnor.so.1 and libvelnor_sim.so on LD_LIBRARY_PATH.";
            }
            else
            {
                fix = "there are no boards on Linux, and this build of Velnor.Net (.NET Standard 2.0) loads " +
                      "Velnor.dll on Windows only: for virtual boards, build the application for .NET 8 or later " +
                      "and reference the Velnor.Net.Simulation package.";
            }
            return Explain("the Velnor library", NativeLibraries.Candidates(NativeLibraries.Velnor, windows, resolves, chosen),
                           windows, chosen != null, folder, why, fix);
        }

        /// <summary>Why VelnorWatch.dll (libvelnor_watch.so.1) could not be loaded, and what to do.</summary>
        internal static string WatcherNotFound(string why)
        {
            bool windows = NativeLibraries.IsWindows;
            return Explain("the Velnor board watcher", NativeLibraries.Candidates(NativeLibraries.Watch), windows, false,
                           AppDomain.CurrentDomain.BaseDirectory, why,
                           windows ? "reference the Velnor.Net package (it brings VelnorWatch.dll with Velnor.dll) or " +
                                     "put VelnorWatch.dll beside the application with Velnor.dll."
                                   : "reference the Velnor.Net.Simulation package, or put the folder of " +
                                     "libvelnor_watch.so.1 on LD_LIBRARY_PATH.");
        }

        // The files tried, in order, where they were looked for, the loader's own reason and
        // what to do.
        private static string Explain(string what, string[] files, bool windows, bool chosen, string folder, string why,
                                      string fix)
        {
            string tried = string.Join(", then ", files);
            string where = chosen
                               ? "the file " + NativeLibraries.OverrideVariable + " names"
                               : string.Format("in the application's folder ({0}), the runtimes folders of its packages, {1}",
                                               folder, windows ? "the system folders and PATH" : "LD_LIBRARY_PATH and the loader's cache");
            return string.Format(
                "Velnor.Net could not load {0}: tried {1}, {2}. The loader said: {3} " +
                "This process is 64-bit; the library must be too. What to do: {4}",
                what, tried, where, NativeLibraries.Sentence(why), fix);
        }
    }
}
