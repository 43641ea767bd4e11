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
                throw new DllNotFoundException(NotFound(error.Message), error);
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
            return Explain("the Velnor library", "Velnor.dll", "libvelnor.so.1",
                           "put Velnor.dll beside the application, or install the Velnor.Net package, " +
                           "which copies it from runtimes/win-x64/native/.",
                           "add the folder of libvelnor.so.1 and libvelnor_sim.so to LD_LIBRARY_PATH, " +
                           "and keep Velnor.Net.dll.config beside Velnor.Net.dll.",
                           why);
        }

        /// <summary>Why VelnorWatch.dll (libvelnor_watch.so.1) could not be loaded, and what to do.</summary>
        internal static string WatcherNotFound(string why)
        {
            return Explain("the Velnor board watcher", "VelnorWatch.dll", "libvelnor_watch.so.1",
                           "put VelnorWatch.dll beside the application with Velnor.dll, or install the Velnor.Net " +
                           "package, which copies both from runtimes/win-x64/native/.",
                           "add the folder of libvelnor_watch.so.1 to LD_LIBRARY_PATH, " +
                           "and keep Velnor.Net.dll.config beside Velnor.Net.dll.",
                           why);
        }

        private static string Explain(string what, string windowsName, string linuxName, string windowsFix,
                                      string linuxFix, string why)
        {
            string assemblyFolder = Path.GetDirectoryName(typeof(Loader).Assembly.Location);
            bool windows = Path.DirectorySeparatorChar == '\\';
            // Without its .config, Mono has no dllmap and looks for a file named as the DllImport.
            string config = typeof(Loader).Assembly.Location + ".config";
            string mapping = windows ? windowsName
                : File.Exists(config) ? linuxName + ", through the dllmap of Velnor.Net.dll.config"
                : linuxName + "; but Velnor.Net.dll.config, which maps the name to it, is missing beside Velnor.Net.dll";
            return string.Format(
                "Velnor.Net could not load {0} ({1}). Looked in: the application's folder ({2}), " +
                "the folder of Velnor.Net.dll ({3}) and the system's search ({4}). " +
                "This process is 64-bit; the library must be too. What to do: {5} ({6})",
                what, mapping,
                AppDomain.CurrentDomain.BaseDirectory, assemblyFolder,
                windows ? "PATH and the system folders" : "LD_LIBRARY_PATH and the loader's cache",
                windows ? windowsFix : linuxFix,
                why);
        }
    }
}
