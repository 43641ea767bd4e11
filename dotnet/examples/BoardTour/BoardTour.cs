// A tour of a Velnor board from C#: lists the boards, opens the first, reads and
// sets every property, reads an AD9516 register and shows what a refused clock
// frequency reports. Build and run (Windows: Velnor.dll beside the program, which the
// Velnor.Net package puts there; Linux: the virtual-platform libraries on LD_LIBRARY_PATH):
//
//   LD_LIBRARY_PATH=build/host-debug/lib dotnet run --project dotnet/examples/BoardTour
using System;
using Velnor;

internal static class BoardTour
{
    private static int Main()
    {
        Console.WriteLine("Velnor library {0}", Library.Version);
        var boards = Board.GetBoards();
        Console.WriteLine("{0} board(s)", boards.Count);
        foreach (BoardInfo info in boards)
        {
            Console.WriteLine("  {0}", info);
        }
        if (boards.Count == 0)
        {
            Console.WriteLine("no board to tour; tour done");
            return 0;
        }

        using (Board board = Board.Open(boards[0].Serial))
        {
            Console.WriteLine("board {0}: serial {1}, driver {2}, firmware {3}",
                              board.Index, board.Serial, board.DriverVersion, board.FirmwareVersion);

            board.Led = Led.Blink;
            board.TriggerPolarity = TriggerPolarity.Falling;
            board.TriggerStatus = TriggerStatus.Armed;
            board.Clock = new Clock(ClockMode.Internal, 125000000);
            Console.WriteLine("LED {0}, trigger {1} {2}, clock {3}",
                              board.Led, board.TriggerPolarity, board.TriggerStatus, board.Clock);

            board.WriteRegister(0x140, 0x42);
            Console.WriteLine("AD9516 register 0x140 = 0x{0:x2}", board.ReadRegister(0x140));

            try
            {
                board.Clock = new Clock(ClockMode.Internal, 123456789);
            }
            catch (InvalidFrequencyException error)
            {
                Console.WriteLine("refused: {0} ({1}); nearest: {2} Hz", error.Name, (int)error.ResultCode,
                                  string.Join(" Hz or ", error.Nearest));
                Console.WriteLine("Velnor.log: {0}", error.LogLine ?? "(none: " + error.LogLineAbsence + ")");
            }

            board.TriggerStatus = TriggerStatus.Disarmed;
            board.Led = Led.Off;
        }
        Console.WriteLine("tour done");
        return 0;
    }
}
