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
    /// builds over velnor_sim.dll). On Linux: libvelnor.so.1 and libvelnor_watch.so.1. The
    /// environment variable VELNOR_LIBRARY names another Velnor library file to load instead.
    /// </summary>
    internal static class NativeLibraries
    {
        internal const string Velnor = "Velnor";
        internal const string Watch = "VelnorWatch";
        internal const string Simulation = "velnor_sim";
        internal const string OverrideVariable = "VELNOR_LIBRARY";

        internal static bool IsWindows => Path.DirectorySeparatorChar == '\\';

        /// <summary>The files tried for a native name, in order.</summary>
        internal static string[] Candidates(string name)
        {
            string? chosen = name == Velnor ? Environment.GetEnvironmentVariable(OverrideVariable) : null;
            if (!string.IsNullOrEmpty(chosen))
            {
                return new[] { chosen! };
            }
            switch (name)
            {
                case Velnor:
                    return IsWindows ? new[] { "VelnorSimulation.dll", "Velnor.dll" } : new[] { "libvelnor.so.1" };
                case Watch:
                    return IsWindows ? new[] { "VelnorWatchSimulation.dll", "VelnorWatch.dll" }
                                     : new[] { "libvelnor_watch.so.1" };
                case Simulation:
                    return IsWindows ? new[] { "velnor_sim.dll" } : new[] { "libvelnor_sim.so" };
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

        /// <summary>Makes an assembly's P/Invokes load through <see cref="Resolve"/>; once per assembly.</summary>
        internal static void Register(Assembly assembly)
        {
            if (assembly == typeof(NativeLibraries).Assembly &&
                System.Threading.Interlocked.Exchange(ref registered, 1) != 0)
            {
                return;
            }
            NativeLibrary.SetDllImportResolver(assembly, Resolve);
        }

        private static IntPtr Resolve(string name, Assembly assembly, DllImportSearchPath? searchPath)
        {
            string[] files = Candidates(name);
            var reasons = new System.Text.StringBuilder();
            foreach (string file in files)
            {
                try
                {
                    return NativeLibrary.Load(file, assembly, searchPath);
                }
                catch (DllNotFoundException error)
                {
                    reasons.Append(reasons.Length == 0 ? "" : " ").Append(error.Message);
                }
                catch (BadImageFormatException error)
                {
                    reasons.Append(reasons.Length == 0 ? "" : " ").Append(file).Append(": ").Append(error.Message);
                }
            }
            lock (Gate)
            {
                lastFailure = reasons.ToString();
            }
            return IntPtr.Zero;
        }
#else
        internal static string? LastFailure => null;

        internal static void Register()
        {
        }
#endif
    }
}
