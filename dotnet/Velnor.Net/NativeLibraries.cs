using System;
using System.IO;
using System.Reflection;
using System.Runtime.InteropServices;

namespace Velnor
{
    /// <summary>
    /// Which file each of the binding's native names loads. On Windows: Velnor.dll and
    /// VelnorWatch.dll, or, when the Velnor.Net.Simulation package put them beside the
    /// application, its VelnorSimulation.dll and VelnorWatchSimulation.dll (the simulation
    /// builds over velnor_sim.dll). On Linux: libvelnor.so.1 and libvelnor_watch.so.1. On
    /// .NET 8 and later the environment variable VELNOR_LIBRARY names another Velnor
    /// library file to load instead; the .NET Standard 2.0 build leaves the loading to the
    /// runtime, which looks for Velnor.dll.
    /// </summary>
    internal static class NativeLibraries
    {
        internal const string Velnor = "Velnor";
        internal const string Watch = "VelnorWatch";
        internal const string Simulation = "velnor_sim";
        internal const string OverrideVariable = "VELNOR_LIBRARY";

        /// <summary>The library's 22 exports: a file without one of them is not the Velnor library.</summary>
        internal static readonly string[] VelnorExports =
        {
            "vl_get_library_version", "vl_get_device_count", "vl_device_open", "vl_device_close",
            "vl_device_get_driver_version", "vl_device_get_firmware_version", "vl_device_get_serial",
            "vl_device_get_id_led_state", "vl_device_set_id_led_state", "vl_device_get_trigger_polarity",
            "vl_device_set_trigger_polarity", "vl_device_get_trigger_status", "vl_device_set_trigger_status",
            "vl_device_ad9516_reg_write", "vl_device_ad9516_reg_read", "vl_device_set_clock", "vl_device_get_clock",
            "vl_device_update_start_async", "vl_device_update_get_status", "vl_device_update_write",
            "vl_device_update_complete", "vl_device_update_reset"
        };

        internal static bool IsWindows => Path.DirectorySeparatorChar == '\\';

        /// <summary>Whether this build chooses the files itself (and so honours VELNOR_LIBRARY).</summary>
        internal static bool Resolves
        {
#if NET8_0_OR_GREATER
            get { return true; }
#else
            get { return false; }
#endif
        }

        /// <summary>The file VELNOR_LIBRARY names, when this build honours it; null otherwise.</summary>
        internal static string? Chosen(string name)
        {
            string? chosen = Resolves && name == Velnor ? Environment.GetEnvironmentVariable(OverrideVariable) : null;
            return string.IsNullOrEmpty(chosen) ? null : chosen;
        }

        /// <summary>The files tried for a native name, in order, on this machine.</summary>
        internal static string[] Candidates(string name)
        {
            return Candidates(name, IsWindows, Resolves, Chosen(name));
        }

        /// <summary>The files tried for a native name, in order, on Windows or Linux, with or without the resolver and an override.</summary>
        internal static string[] Candidates(string name, bool windows, bool resolves, string? chosen)
        {
            if (chosen != null)
            {
                return new[] { chosen };
            }
            if (!resolves)
            {
                // The runtime's own search for the name.
                return windows ? new[] { name + ".dll" } : new[] { "lib" + name + ".so", name + ".so" };
            }
            switch (name)
            {
                case Velnor:
                    return windows ? new[] { "VelnorSimulation.dll", "Velnor.dll" } : new[] { "libvelnor.so.1" };
                case Watch:
                    return windows ? new[] { "VelnorWatchSimulation.dll", "VelnorWatch.dll" } : new[] { "libvelnor_watch.so.1" };
                case Simulation:
                    return windows ? new[] { "velnor_sim.dll" } : new[] { "libvelnor_sim.so" };
                default:
                    return new[] { name };
            }
        }

#if NET8_0_OR_GREATER
        private static readonly object Gate = new object();
        private static string? lastFailure;
        private static int registered;

        /// <summary>The loader's own words for the last name that could not be loaded.</summary>
        internal static string? LastFailure
        {
            get
            {
                lock (Gate)
                {
                    return lastFailure;
                }
            }
        }

        /// <summary>Makes this assembly's P/Invokes load through <see cref="Resolve"/>; once.</summary>
        internal static void Register()
        {
            Register(typeof(NativeLibraries).Assembly);
        }

        /// <summary>
        /// Makes an assembly's P/Invokes load through <see cref="Resolve"/>; once per assembly.
        /// An application that set its own resolver for the assembly keeps it.
        /// </summary>
        internal static void Register(Assembly assembly)
        {
            if (assembly == typeof(NativeLibraries).Assembly &&
                System.Threading.Interlocked.Exchange(ref registered, 1) != 0)
            {
                return;
            }
            try
            {
                NativeLibrary.SetDllImportResolver(assembly, Resolve);
            }
            catch (InvalidOperationException)
            {
                // The application resolves this assembly's names itself.
            }
        }

        // Loads the first candidate that loads (for Velnor, that has every export), or
        // throws DllNotFoundException with each file's reason: the runtime must not go on
        // to a file of its own choosing, which would ignore VELNOR_LIBRARY or load a
        // library this binding cannot call.
        private static IntPtr Resolve(string name, Assembly assembly, DllImportSearchPath? searchPath)
        {
            if (name != Velnor && name != Watch && name != Simulation)
            {
                return IntPtr.Zero; // the C library and the like: the runtime's own search
            }
            var reasons = new System.Text.StringBuilder();
            foreach (string file in Candidates(name))
            {
                string? reason;
                IntPtr loaded = TryLoad(name, file, assembly, searchPath, out reason);
                if (loaded != IntPtr.Zero)
                {
                    return loaded;
                }
                reasons.Append(reasons.Length == 0 ? "" : " ").Append(reason);
            }
            string failure = reasons.ToString();
            lock (Gate)
            {
                lastFailure = failure;
            }
            throw new DllNotFoundException(failure);
        }

        private static IntPtr TryLoad(string name, string file, Assembly assembly, DllImportSearchPath? searchPath,
                                      out string? reason)
        {
            IntPtr loaded;
            try
            {
                loaded = NativeLibrary.Load(file, assembly, searchPath);
            }
            catch (BadImageFormatException error)
            {
                reason = Sentence(file + " is not a 64-bit library for this machine: " + error.Message);
                return IntPtr.Zero;
            }
            catch (Exception error) when (error is DllNotFoundException || error is ArgumentException ||
                                          error is IOException)
            {
                reason = Sentence(error.Message);
                return IntPtr.Zero;
            }
            string? missing = name == Velnor ? MissingExport(loaded) : null;
            if (missing != null)
            {
                NativeLibrary.Free(loaded);
                reason = file + " is not the Velnor library this binding calls: it has no export " + missing + ".";
                return IntPtr.Zero;
            }
            reason = null;
            return loaded;
        }

        private static string? MissingExport(IntPtr library)
        {
            foreach (string export in VelnorExports)
            {
                if (!NativeLibrary.TryGetExport(library, export, out IntPtr _))
                {
                    return export;
                }
            }
            return null;
        }
#else
        internal static string? LastFailure => null;

        internal static void Register()
        {
        }
#endif

        /// <summary>The text with a full stop at its end, for one reason among several.</summary>
        internal static string Sentence(string text)
        {
            string trimmed = text.TrimEnd();
            return trimmed.EndsWith(".", StringComparison.Ordinal) ? trimmed : trimmed + ".";
        }
    }
}
