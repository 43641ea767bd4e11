using System;
using System.IO;
using System.Runtime.InteropServices;
using Microsoft.Win32.SafeHandles;

namespace Velnor
{
    /// <summary>
    /// Velnor.log opened for reading at given offsets. On POSIX systems the temporary folder
    /// is often shared, so anyone may have put a FIFO, a device or a symbolic link there
    /// under the log's name: the file is opened without blocking and without following a
    /// link, and kept only when it is a regular file, as the library opens it for writing.
    /// Each look at the log costs an open, one status call, the reads and a close.
    /// </summary>
    internal sealed partial class LogFile : IDisposable
    {
#if NET8_0_OR_GREATER
        private readonly SafeFileHandle handle;

        private LogFile(SafeFileHandle handle, long length)
        {
            this.handle = handle;
            Length = length;
        }
#else
        private readonly FileStream stream;

        private LogFile(FileStream stream, long length)
        {
            this.stream = stream;
            Length = length;
        }

        private LogFile(SafeFileHandle handle, long length) : this(new FileStream(handle, FileAccess.Read, 1), length)
        {
        }
#endif

        /// <summary>The file's length when it was opened.</summary>
        internal long Length { get; }

        /// <summary>
        /// The open file; null when there is none. Throws IOException naming what the path is
        /// when it is not a regular file.
        /// </summary>
        internal static LogFile? Open(string path)
        {
            if (!NativeLibraries.IsWindows)
            {
                return OpenPosix(path);
            }
            if (!File.Exists(path))
            {
                return null;
            }
#if NET8_0_OR_GREATER
            SafeFileHandle file = File.OpenHandle(path, FileMode.Open, FileAccess.Read, FileShare.ReadWrite | FileShare.Delete);
            return new LogFile(file, RandomAccess.GetLength(file));
#else
            var stream = new FileStream(path, FileMode.Open, FileAccess.Read, FileShare.ReadWrite | FileShare.Delete, 1);
            return new LogFile(stream, stream.Length);
#endif
        }

        /// <summary>Reads from offset until buffer is full or the file ends.</summary>
        /// <returns>The number of bytes read.</returns>
        internal int ReadAt(long offset, byte[] buffer)
        {
            int read = 0;
            while (read < buffer.Length)
            {
#if NET8_0_OR_GREATER
                int n = RandomAccess.Read(handle, buffer.AsSpan(read), offset + read);
#else
                stream.Seek(offset + read, SeekOrigin.Begin);
                int n = stream.Read(buffer, read, buffer.Length - read);
#endif
                if (n <= 0)
                {
                    break;
                }
                read += n;
            }
            return read;
        }

        /// <summary>Closes the file.</summary>
        public void Dispose()
        {
#if NET8_0_OR_GREATER
            handle.Dispose();
#else
            stream.Dispose();
#endif
        }

        // Linux's values; the binding's POSIX side is the virtual platform on Linux. Arm
        // numbers O_NOFOLLOW differently from x86 (where 0x8000 is O_LARGEFILE).
        private const int ReadOnly = 0, NonBlocking = 0x800, CloseOnExec = 0x80000;
        private const int NoFollowX86 = 0x20000, NoFollowArm = 0x8000;
        private const int NoEntry = 2, Loop = 40;
        private const int EmptyPath = 0x1000, StatxType = 0x1, StatxSize = 0x200, TypeMask = 0xF000;
        private const int Fifo = 0x1000, CharDevice = 0x2000, Folder = 0x4000, BlockDevice = 0x6000;
        private const int Regular = 0x8000, Socket = 0xC000;

        private static int NoFollow
        {
            get
            {
                Architecture machine = RuntimeInformation.ProcessArchitecture;
                return machine == Architecture.Arm || machine == Architecture.Arm64 ? NoFollowArm : NoFollowX86;
            }
        }

        private static LogFile? OpenPosix(string path)
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
            int type;
            long length;
            Status(descriptor, out type, out length);
            if (type != Regular)
            {
                handle.Dispose();
                throw new IOException("it is not a regular file (" + Describe(type) + ")");
            }
            return new LogFile(handle, length);
        }

        // The file type bits of st_mode and the size, from statx's stx_mode (16 bits at
        // byte 28) and stx_size (64 bits at byte 40), the same on every Linux architecture;
        // type 0 when they cannot be had.
        private static unsafe void Status(int descriptor, out int type, out long length)
        {
            byte* buffer = stackalloc byte[256];
            if (Posix.statx(descriptor, "", EmptyPath, StatxType | StatxSize, buffer) != 0)
            {
                type = 0;
                length = 0;
                return;
            }
            type = *(ushort*)(buffer + 28) & TypeMask;
            length = *(long*)(buffer + 40);
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
