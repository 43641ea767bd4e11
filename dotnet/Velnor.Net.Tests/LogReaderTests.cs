using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using NUnit.Framework;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>
    /// The reader against a log file of its own, written line by line, with its clock set
    /// to when each failure was seen. Lines are named by what they say; their time stamps
    /// are milliseconds after a fixed moment.
    /// </summary>
    [TestFixture]
    public class LogReaderTests
    {
        private static readonly DateTime Moment = new DateTime(2026, 12, 8, 15, 38, 25, 424);

        // What each line says after its time stamp, and the failure it is.
        private static readonly Dictionary<string, (string Tail, string Function, int Code, string Hint)> Kinds =
            new Dictionary<string, (string, string, int, string)>
            {
                ["led"] = ("[Velnor] [error] [vl_device_get_id_led_state] Error: Velnor:-9, IOCTL failed: invalid_data",
                           "vl_device_get_id_led_state", -9, null),
                ["gone"] = ("[Velnor] [error] [vl_device_get_id_led_state] Error: system:1167, DeviceIoControl failed: " +
                            "The device is not connected.", "vl_device_get_id_led_state", -5, null),
                ["123"] = ("[Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 123456789Hz. " +
                           "Try 123125000Hz or 123750000Hz: invalid_frequency", "vl_device_set_clock", -13, "123456789Hz"),
                ["23"] = ("[Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 23456789Hz. " +
                          "Try 23375000Hz or 23500000Hz: invalid_frequency", "vl_device_set_clock", -13, "23456789Hz"),
                ["open7"] = ("[Velnor] [error] [vl_device_open] Error: Velnor:-3, Cannot retrieve device at index 7, " +
                             "only 1 device(s) found on the system: invalid_device", "vl_device_open", -3, null),
                ["open8"] = ("[Velnor] [error] [vl_device_open] Error: Velnor:-3, Cannot retrieve device at index 8, " +
                             "only 1 device(s) found on the system: invalid_device", "vl_device_open", -3, null),
            };

        private string folder;
        private string log;
        private DateTime now;
        private LogReader reader;

        [SetUp]
        public void MakeLog()
        {
            folder = Path.Combine(Path.GetTempPath(), "log-reader-" + Guid.NewGuid().ToString("N"));
            Directory.CreateDirectory(folder);
            log = Path.Combine(folder, "Velnor.log");
            File.WriteAllText(log, "");
            reader = new LogReader(() => log, () => now);
        }

        [TearDown]
        public void RemoveLog()
        {
            Directory.Delete(folder, true);
        }

        // "kind@ms": a line stamped ms after the moment.
        private static string Line(string step)
        {
            string[] parts = step.Split('@');
            return "[" + Moment.AddMilliseconds(int.Parse(parts[1])).ToString("yyyy-MM-dd HH:mm:ss.fff", CultureInfo.InvariantCulture) +
                   "] " + Kinds[parts[0]].Tail;
        }

        // "kind@ms": that failure, seen ms after the moment.
        private LogTicket Fail(string step)
        {
            string[] parts = step.Split('@');
            now = Moment.AddMilliseconds(int.Parse(parts[1]));
            var kind = Kinds[parts[0]];
            return reader.Enqueue(kind.Function, kind.Code, kind.Hint);
        }

        // What a ticket got: the number of its line (1 for the first written; identical lines
        // go by the first's number), "-" for no line, "?" for lines that differ; checked
        // against the whole texts.
        private string Got(LogTicket ticket, string[] lines)
        {
            if (ticket.Line != null)
            {
                Assert.That(ticket.Absence, Is.Null);
                return (Array.IndexOf(lines, ticket.Line) + 1).ToString(CultureInfo.InvariantCulture);
            }
            if (ticket.Absence == "no new line of " + log + " names this failure of " + ticket.Function)
            {
                return "-";
            }
            Assert.That(ticket.Absence, Is.EqualTo("several new lines of " + log + " could be this failure's, and they differ"));
            return "?";
        }

        [TestCase("led@0 led@0 led@0", "led@5 led@5 led@5 led@5", "1 1 1 -", TestName = "IdenticalLinesOfOneMillisecondAreOneLineEach")]
        [TestCase("led@0 led@1 led@2", "led@1 led@5 led@5", "1 2 3", TestName = "TheOldestLineGoesFirstAndNoneFromAfterTheFailure")]
        [TestCase("123@0", "23@5 123@5", "- 1", TestName = "ARefusedFrequencyIsNotFoundInsideALongerOne")]
        [TestCase("23@0 123@1", "23@5 123@5", "1 2", TestName = "FrequenciesThatAreSubstringsOfEachOtherGetTheirOwnLines")]
        [TestCase("open7@0 open8@1", "open7@5 open8@5", "? ?", TestName = "LinesThatReadDifferentlyAreNoFailuresOwn")]
        [TestCase("led@0 led@3000", "led@2500 led@3000", "- 2", TestName = "OnlyLinesOfTheTwoSecondsBeforeTheFailure")]
        [TestCase("gone@0", "led@5 gone@5", "- 1", TestName = "ASystemErrorIsTheFailedCodesLine")]
        public void FailuresSeenTogetherGetTheirLines(string written, string failures, string expected)
        {
            string[] lines = written.Split(' ').Select(Line).ToArray();
            File.WriteAllLines(log, lines);
            List<LogTicket> tickets = failures.Split(' ').Select(Fail).ToList();
            Assert.That(string.Join(" ", tickets.Select(ticket => Got(ticket, lines))), Is.EqualTo(expected));
        }

        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [error] [vl_device_open] Error: Velnor:-3, index 7: invalid_device",
                  "2026-12-08 15:38:25.424 vl_device_open Velnor -3 index 7: invalid_device", TestName = "AnErrorLine")]
        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [error] [vl_x] Error: system:1167, a: b, c",
                  "2026-12-08 15:38:25.424 vl_x system 1167 a: b, c", TestName = "ASystemErrorLine")]
        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [info] [vl_x] Error: Velnor:-3, m", null, TestName = "NotAnErrorLine")]
        [TestCase("[2026-02-30 15:38:25.424] [Velnor] [error] [vl_x] Error: Velnor:-3, m", null, TestName = "NoSuchDay")]
        [TestCase("[2026-12-08 15:38:25.4\u0664\u0664] [Velnor] [error] [vl_x] Error: Velnor:-3, m", null, TestName = "DigitsOfAnotherScript")]
        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [error] [vl x] Error: Velnor:-3, m", null, TestName = "ASpaceInTheExport")]
        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [error] [vl_x] Error: Vel nor:-3, m", null, TestName = "ASpaceInTheCategory")]
        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [error] [vl_x] Error: Velnor:-3,m", null, TestName = "NoSpaceAfterTheCode")]
        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [error] [vl_x] Error: Velnor:99999999999999999999, m", null, TestName = "ACodeTooLong")]
        [TestCase("[2026-12-08 15:38:25.424] [Velnor] [error] [vl_x", null, TestName = "CutShort")]
        public void OnlyErrorLinesAreRead(string text, string expected)
        {
            LogEntry entry = LogEntry.Parse(text);
            string got = entry == null ? null : string.Join(" ", entry.Stamp.ToString("yyyy-MM-dd HH:mm:ss.fff", CultureInfo.InvariantCulture),
                                                            entry.Function, entry.Category, entry.Value, entry.Message);
            Assert.That(got, Is.EqualTo(expected));
        }

        // A failure asked for at once reads every line written so far; the lines that are
        // not its own wait for theirs.
        [Test]
        public void LinesReadEarlyWaitForTheirFailures()
        {
            string[] lines = { Line("led@0"), Line("123@1"), Line("led@2") };
            File.WriteAllLines(log, lines);
            Assert.That(Got(Fail("led@5"), lines), Is.EqualTo("1"));
            File.AppendAllLines(log, new[] { Line("led@6") });
            Assert.That(string.Join(" ", new[] { "123@7", "led@7", "led@7", "led@7" }.Select(Fail).Select(t => Got(t, lines.Append(Line("led@6")).ToArray()))),
                        Is.EqualTo("2 3 4 -"));
        }

        // Another process's first failure empties the file; what it writes then is read from
        // the start, whether shorter or longer than what was read before.
        [TestCase(1, TestName = "AnEmptiedFileWrittenShorterIsReadFromItsStart")]
        [TestCase(5, TestName = "AnEmptiedFileWrittenLongerIsReadFromItsStart")]
        public void AnEmptiedFileIsReadFromItsStart(int count)
        {
            string[] before = { Line("led@0"), Line("led@0") };
            File.WriteAllLines(log, before);
            Assert.That(Got(Fail("led@5"), before), Is.EqualTo("1"));
            string[] after = Enumerable.Range(0, count).Select(i => Line("gone@" + (10 + i))).ToArray();
            File.WriteAllLines(log, after);
            Assert.That(Got(Fail("gone@20"), after), Is.EqualTo("1"));
        }

        // A copy put in the log's place holds lines seen before: each claimed line is
        // skipped once, the rest are new.
        [Test]
        public void ACopyInTheLogsPlaceHandsNoLineOutTwice()
        {
            string[] lines = { Line("led@0") };
            File.WriteAllLines(log, lines);
            Assert.That(Got(Fail("led@5"), lines), Is.EqualTo("1"));
            string[] copy = { Line("open7@1"), Line("led@0"), Line("led@0") };
            File.WriteAllLines(log, copy);
            Assert.That(string.Join(" ", new[] { "led@6", "led@6" }.Select(Fail).Select(t => Got(t, copy))), Is.EqualTo("2 -"));
        }
    }
}
