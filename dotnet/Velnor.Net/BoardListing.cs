using System;
using System.Collections.Generic;
using System.Collections.ObjectModel;

namespace Velnor
{
    // Finding the boards present and opening one.
    public sealed partial class Board
    {
        /// <summary>The number of boards present now; asked anew at every read.</summary>
        public static int Count
        {
            get
            {
                Loader.Ensure();
                UIntPtr count;
                int rc = NativeMethods.vl_get_device_count(out count);
                if (rc != 0)
                {
                    throw VelnorException.Of(rc, "vl_get_device_count");
                }
                return (int)Math.Min(count.ToUInt64(), int.MaxValue);
            }
        }

        /// <summary>
        /// Every board present: index, serial, firmware and driver version. Each board is
        /// opened and closed in turn; a board that leaves meanwhile ends the list there. A
        /// board that cannot be opened, or whose serial or versions cannot be read, is
        /// listed all the same: its row gives what could be read and, in
        /// <see cref="BoardInfo.Error"/>, the first failure.
        /// </summary>
        /// <returns>The boards, in index order.</returns>
        /// <exception cref="VelnorException">The boards could not be counted.</exception>
        public static IReadOnlyList<BoardInfo> GetBoards()
        {
            var found = new List<BoardInfo>();
            int count = Count;
            for (int index = 0; index < count; ++index)
            {
                Board board;
                try
                {
                    board = Open(index);
                }
                catch (InvalidDeviceException)
                {
                    break;
                }
                catch (VelnorException error)
                {
                    found.Add(new BoardInfo(index, null, null, null, error));
                    continue;
                }
                using (board)
                {
                    found.Add(board.Describe());
                }
            }
            return new ReadOnlyCollection<BoardInfo>(found);
        }

        /// <summary>Every board present, as <see cref="GetBoards"/> lists them.</summary>
        /// <returns>The boards, in index order (a read-only list).</returns>
        [Obsolete("Use GetBoards()")]
        public static IList<BoardInfo> List()
        {
            return (IList<BoardInfo>)GetBoards();
        }

        // This board's row: each value read on its own, the first failure kept.
        private BoardInfo Describe()
        {
            string? serial = null;
            VersionInfo? firmware = null, driver = null;
            VelnorException? error = null;
            try
            {
                serial = Serial;
            }
            catch (VelnorException failure)
            {
                error = failure;
            }
            try
            {
                firmware = FirmwareVersion;
            }
            catch (VelnorException failure)
            {
                error ??= failure;
            }
            try
            {
                driver = DriverVersion;
            }
            catch (VelnorException failure)
            {
                error ??= failure;
            }
            return new BoardInfo(Index, serial, firmware, driver, error);
        }

        /// <summary>Opens the board at a position of the current list.</summary>
        /// <param name="index">0 to <see cref="Count"/> - 1.</param>
        /// <returns>The open board; dispose it when done.</returns>
        /// <exception cref="ArgumentOutOfRangeException">index is negative.</exception>
        /// <exception cref="InvalidDeviceException">No board at that index.</exception>
        public static Board Open(int index)
        {
            if (index < 0)
            {
                throw new ArgumentOutOfRangeException("index", index, "a board index is 0 or more");
            }
            Loader.Ensure();
            DeviceHandle handle;
            int rc = NativeMethods.vl_device_open(new UIntPtr((uint)index), out handle);
            if (rc != 0)
            {
                throw VelnorException.Of(rc, "vl_device_open");
            }
            return new Board(handle, index);
        }

        /// <summary>
        /// Opens the board with this serial: each board is opened in turn and its serial
        /// read; the others are closed again.
        /// </summary>
        /// <param name="serial">The serial number.</param>
        /// <returns>The open board; dispose it when done.</returns>
        /// <exception cref="BoardNotFoundException">No board has the serial.</exception>
        /// <exception cref="AmbiguousSerialException">Several boards have it.</exception>
        public static Board Open(string serial)
        {
            if (serial == null)
            {
                throw new ArgumentNullException("serial");
            }
            var present = new List<KeyValuePair<int, string>>();
            var matches = new List<Board>();
            try
            {
                int count = Count;
                for (int index = 0; index < count; ++index)
                {
                    Board board;
                    try
                    {
                        board = Open(index);
                    }
                    catch (InvalidDeviceException)
                    {
                        break;
                    }
                    string text;
                    try
                    {
                        text = board.Serial;
                    }
                    catch
                    {
                        board.Dispose();
                        throw;
                    }
                    present.Add(new KeyValuePair<int, string>(index, text));
                    if (text == serial)
                    {
                        matches.Add(board);
                    }
                    else
                    {
                        board.Dispose();
                    }
                }
            }
            catch
            {
                matches.ForEach(board => board.Dispose());
                throw;
            }
            if (matches.Count == 1)
            {
                return matches[0];
            }
            matches.ForEach(board => board.Dispose());
            if (matches.Count > 1)
            {
                throw new AmbiguousSerialException(serial, matches.ConvertAll(board => board.Index).AsReadOnly());
            }
            throw new BoardNotFoundException(serial, present.AsReadOnly());
        }
    }
}
