using System.IO;
using System.Runtime.CompilerServices;
using Mono.Unix;
using Mono.Unix.Native;

namespace Velnor
{
    /// <summary>
    /// Opens Velnor.log for reading. On POSIX systems the temporary folder is often shared,
    /// so anyone may have put a FIFO, a device or a symbolic link there under the log's name:
    /// the file is opened without blocking and without following a link, and kept only when
    /// it is a regular file, as the library opens it for writing.
    /// </summary>
    internal static class LogFile
    {
        /// <summary>
        /// The open file; null when there is none. Throws IOException naming what the path is
        /// when it is not a regular file.
        /// </summary>
        internal static Stream Open(string path)
        {
            if (Path.DirectorySeparatorChar == '\\')
            {
                if (!File.Exists(path))
                {
                    return null;
                }
                return new FileStream(path, FileMode.Open, FileAccess.Read, FileShare.ReadWrite | FileShare.Delete);
            }
            return OpenPosix(path);
        }

        // A method of its own, so that Mono.Posix is loaded on POSIX systems only (the
        // .NET Framework on Windows has none).
        [MethodImpl(MethodImplOptions.NoInlining)]
        private static Stream OpenPosix(string path)
        {
            int descriptor = Syscall.open(path, OpenFlags.O_RDONLY | OpenFlags.O_NONBLOCK | OpenFlags.O_NOFOLLOW |
                                                OpenFlags.O_CLOEXEC);
            if (descriptor < 0)
            {
                Errno error = Stdlib.GetLastError();
                if (error == Errno.ENOENT)
                {
                    return null;
                }
                throw new IOException(error == Errno.ELOOP ? "it is a symbolic link, which is not followed"
                                                           : "open failed with " + error);
            }
            Stat status;
            FilePermissions type = Syscall.fstat(descriptor, out status) == 0
                                       ? status.st_mode & FilePermissions.S_IFMT
                                       : (FilePermissions)0;
            if (type != FilePermissions.S_IFREG)
            {
                Syscall.close(descriptor);
                throw new IOException("it is not a regular file (" + Describe(type) + ")");
            }
            return new UnixStream(descriptor, true);
        }

        private static string Describe(FilePermissions type)
        {
            switch (type)
            {
                case FilePermissions.S_IFIFO: return "a FIFO";
                case FilePermissions.S_IFCHR: return "a character device";
                case FilePermissions.S_IFBLK: return "a block device";
                case FilePermissions.S_IFDIR: return "a folder";
                case FilePermissions.S_IFSOCK: return "a socket";
                default: return "of unknown type";
            }
        }
    }
}
