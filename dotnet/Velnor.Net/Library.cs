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
            if (IntPtr.Size != 8)
            {
                throw new PlatformNotSupportedException(string.Format(
                    "Velnor.Net: this process is {0}-bit, and Velnor.dll is 64-bit (x64) only. " +
                    "Build the application for x64 (Platform target x64, or AnyCPU with \"Prefer 32-bit\" off).",
                    IntPtr.Size * 8));
            }
        }

        private static string NotFound(string why)
        {
            return Explain("the Velnor library", NativeLibraries.Velnor,
                           "reference the Velnor.Net package (it brings Velnor.dll for win-x64) or put Velnor.dll " +
                           "beside the application; for virtual boards reference Velnor.Net.Simulation.",
                           "there are no boards on Linux: reference the Velnor.Net.Simulation package for virtual " +
                           "boards, or put the folder of libvelnor.so.1 and libvelnor_sim.so on LD_LIBRARY_PATH.",
                           why);
        }

        /// <summary>Why VelnorWatch.dll (libvelnor_watch.so.1) could not be loaded, and what to do.</summary>
        internal static string WatcherNotFound(string why)
        {
            return Explain("the Velnor board watcher", NativeLibraries.Watch,
                           "reference the Velnor.Net package (it brings VelnorWatch.dll with Velnor.dll) or put " +
                           "VelnorWatch.dll beside the application with Velnor.dll.",
                           "reference the Velnor.Net.Simulation package, or put the folder of libvelnor_watch.so.1 " +
                           "on LD_LIBRARY_PATH.",
                           why);
        }

        // The files tried, in order, where they were looked for, the loader's own reason and
        // what to do.
        private static string Explain(string what, string name, string windowsFix, string linuxFix, string why)
        {
            bool windows = NativeLibraries.IsWindows;
            string? chosen = name == NativeLibraries.Velnor
                                 ? Environment.GetEnvironmentVariable(NativeLibraries.OverrideVariable)
                                 : null;
            string tried = string.Join(", then ", NativeLibraries.Candidates(name));
            string where = string.IsNullOrEmpty(chosen)
                               ? string.Format("the application's folder ({0}), its packages' runtimes folders and {1}",
                                               AppDomain.CurrentDomain.BaseDirectory,
                                               windows ? "PATH and the system folders"
                                                       : "LD_LIBRARY_PATH and the loader's cache")
                               : "the path named by " + NativeLibraries.OverrideVariable;
            return string.Format(
                "Velnor.Net could not load {0}: tried {1}, in {2}. The loader said: {3} " +
                "This process is 64-bit; the library must be too. What to do: {4}",
                what, tried, where, why, windows ? windowsFix : linuxFix);
        }
    }
}
