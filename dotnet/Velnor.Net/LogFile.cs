using System;
using System.IO;
using System.Runtime.InteropServices;
using Microsoft.Win32.SafeHandles;

namespace Velnor
{
    /// <summary>
    /// Opens Velnor.log for reading. On POSIX systems the temporary folder is often shared,
    /// so anyone may have put a FIFO, a device or a symbolic link there under the log's name:
    /// the file is opened without blocking and without following a link, and kept only when
    /// it is a regular file, as the library opens it for writing.
    /// </summary>
    internal static partial class LogFile
    {
        /// <summary>
        /// The open file; null when there is none. Throws IOException naming what the path is
        /// when it is not a regular file.
        /// </summary>
        internal static Stream? Open(string path)
        {
            if (NativeLibraries.IsWindows)
            {
                if (!File.Exists(path))
                {
                    return null;
                }
                return new FileStream(path, FileMode.Open, FileAccess.Read, FileShare.ReadWrite | FileShare.Delete);
            }
            return OpenPosix(path);
        }

        // Linux's values; the binding's POSIX side is the virtual platform on Linux.
        private const int ReadOnly = 0, NonBlocking = 0x800, NoFollow = 0x20000, CloseOnExec = 0x80000;
        private const int NoEntry = 2, Loop = 40;
        private const int EmptyPath = 0x1000, StatxType = 0x1, TypeMask = 0xF000;
        private const int Fifo = 0x1000, CharDevice = 0x2000, Folder = 0x4000, BlockDevice = 0x6000;
        private const int Regular = 0x8000, Socket = 0xC000;

        private static Stream? OpenPosix(string path)
        {
            int descriptor = Posix.open(path, ReadOnly | NonBlocking | NoFollow | CloseOnExec);
            if (descriptor < 0)
            {
                int error = Marshal.GetLastWin32Error();
                if (error == NoEntry)
                {
                    return null;
                }
                throw new IOException(error == Loop ? "it is a symbolic link, which is not followed"
                                                    : "open failed with errno " + error);
            }
            var handle = new SafeFileHandle((IntPtr)descriptor, true);
            int type = TypeOf(descriptor);
            if (type != Regular)
            {
                handle.Dispose();
                throw new IOException("it is not a regular file (" + Describe(type) + ")");
            }
            return new FileStream(handle, FileAccess.Read, 1);
        }

        // The file type bits of st_mode, from statx's stx_mode (a 16-bit field at byte 28
        // on every Linux architecture); 0 when they cannot be had.
        private static unsafe int TypeOf(int descriptor)
        {
            byte* buffer = stackalloc byte[256];
            if (Posix.statx(descriptor, "", EmptyPath, StatxType, buffer) != 0)
            {
                return 0;
            }
            return *(ushort*)(buffer + 28) & TypeMask;
        }

        private static string Describe(int type)
        {
            switch (type)
            {
                case Fifo: return "a FIFO";
                case CharDevice: return "a character device";
                case BlockDevice: return "a block device";
                case Folder: return "a folder";
                case Socket: return "a socket";
                default: return "of unknown type";
            }
        }

        private static partial class Posix
        {
            private const string C = "libc.so.6";

#if NET8_0_OR_GREATER
            [LibraryImport(C, SetLastError = true, StringMarshalling = StringMarshalling.Utf8)]
            internal static partial int open(string path, int flags);

            [LibraryImport(C, SetLastError = true, StringMarshalling = StringMarshalling.Utf8)]
            internal static unsafe partial int statx(int descriptor, string path, int flags, int mask, byte* buffer);
#else
            [DllImport(C, SetLastError = true, BestFitMapping = false)]
            internal static extern int open([MarshalAs(UnmanagedType.LPStr)] string path, int flags);

            [DllImport(C, SetLastError = true, BestFitMapping = false)]
            internal static extern unsafe int statx(int descriptor, [MarshalAs(UnmanagedType.LPStr)] string path,
                                                    int flags, int mask, byte* buffer);
#endif
        }
    }
}
