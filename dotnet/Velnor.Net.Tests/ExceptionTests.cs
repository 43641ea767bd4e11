using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.Serialization;
using NUnit.Framework;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>One base class for the binding's failures, and every exception serializable whole.</summary>
    [TestFixture]
    public class ExceptionTests : SimulationFixture
    {
        private static readonly string MissingTrace = Path.Combine(Path.GetTempPath(), "velnor-no-such-trace.pcapng");

        private static IEnumerable<TestCaseData> FoundByTheBinding()
        {
            yield return new TestCaseData((Action)(() => Board.Open("LAB-9")), typeof(BoardNotFoundException), ResultCode.InvalidDevice,
                "Board.Open", "no board with serial \"LAB-9\"; present: 0: \"LAB-0001\"").SetName("NoBoardHasTheSerial");
            yield return new TestCaseData((Action)(() => { Simulation.AddBoard("LAB-0001"); Board.Open("LAB-0001"); }),
                typeof(AmbiguousSerialException), ResultCode.InvalidDevice, "Board.Open",
                "2 boards have serial \"LAB-0001\", at indices 0, 1").SetName("SeveralBoardsHaveTheSerial");
            yield return new TestCaseData((Action)(() => Simulation.LoadTrace(MissingTrace)), typeof(TraceRefusedException),
                ResultCode.Failed, "Simulation.LoadTrace",
                "trace " + MissingTrace + " refused: cannot open it: No such file or directory").SetName("ThePlatformRefusesTheTrace");
        }

        [TestCaseSource(nameof(FoundByTheBinding))]
        public void FailuresTheBindingFindsAreVelnorExceptions(Action call, Type type, ResultCode code, string function, string message)
        {
            VelnorException error = Assert.Throws(Is.TypeOf(type), () => call()) as VelnorException;
            Assert.That(error, Is.Not.Null, type.Name + " is not a VelnorException");
            Assert.That((error.ResultCode, error.Function, error.Message, error.LogLine, error.LogLineAbsence),
                        Is.EqualTo((code, function, message, (string)null,
                                    "no export failed: " + function + " found this failure itself, so Velnor.log has no line for it")));
        }

        private static IEnumerable<TestCaseData> ArgumentFailures()
        {
            string tooLong = new string('x', 33);
            yield return new TestCaseData((Action)(() => Firmware.Check(new byte[10])), "image").SetName("AnImageTheBoardWouldRefuse");
            yield return new TestCaseData((Action)(() => Simulation.AddBoard(tooLong)), "serial").SetName("ASerialTooLong");
            yield return new TestCaseData((Action)(() => Simulation.AddBoard(null, new VersionInfo(1, 0, 0, tooLong), null)), "firmware")
                .SetName("AFirmwareVersionTooLong");
            yield return new TestCaseData((Action)(() => Simulation.AddBoard(null, null, new VersionInfo(1, 0, 0, tooLong))), "driver")
                .SetName("ADriverVersionTooLong");
            yield return new TestCaseData((Action)(() => Simulation.ReadRegister(99, 0)), "id").SetName("NoBoardToReadARegisterOf");
            yield return new TestCaseData((Action)(() => Simulation.LoadTrace("a\0b")), "path").SetName("ATracePathWithAZero");
        }

        // Wrong arguments stay ArgumentExceptions (a firmware image among them, as ever) and name the argument.
        [TestCaseSource(nameof(ArgumentFailures))]
        public void ArgumentFailuresNameTheArgument(Action call, string parameter)
        {
            var error = Assert.Catch<ArgumentException>(() => call());
            Assert.That(error.ParamName, Is.EqualTo(parameter));
        }

        private static IEnumerable<TestCaseData> Serialized()
        {
            yield return new TestCaseData((Func<Exception>)(() =>
            {
                using (Board board = Board.Open(0))
                {
                    return Assert.Throws<InvalidFrequencyException>(() => board.Clock = new Clock(ClockMode.Internal, 123456789));
                }
            })).SetName("ARefusedFrequencyWithItsLine");
            yield return new TestCaseData((Func<Exception>)(() =>
            {
                Simulation.SetRequestStatus(BoardRequest.GetLed, 12345);
                using (Board board = Board.Open(0))
                {
                    return Assert.Throws<VelnorException>(() => { var led = board.Led; });
                }
            })).SetName("AnUnnamedDriverStatusWithItsLine");
            yield return new TestCaseData((Func<Exception>)(() => new VelnorException(-9, "vl_device_update_write", null, "the log was gone")))
                .SetName("AFailureWithoutALine");
            yield return new TestCaseData((Func<Exception>)(() => Assert.Throws<BoardNotFoundException>(() => Board.Open("LAB-9"))))
                .SetName("NoBoardHasTheSerial");
            yield return new TestCaseData((Func<Exception>)(() =>
            {
                Simulation.AddBoard("LAB-0001");
                return Assert.Throws<AmbiguousSerialException>(() => Board.Open("LAB-0001"));
            })).SetName("SeveralBoardsHaveTheSerial");
            yield return new TestCaseData((Func<Exception>)(() => Assert.Throws<TraceRefusedException>(() => Simulation.LoadTrace(MissingTrace))))
                .SetName("ThePlatformRefusesTheTrace");
            yield return new TestCaseData((Func<Exception>)(() => Assert.Throws<FirmwareImageException>(() => Firmware.Check(new byte[10]))))
                .SetName("AnImageTheBoardWouldRefuse");
        }

        // Every public property, by name, as text: what a copy must keep.
        private static string Describe(Exception error)
        {
            return string.Join("\n", error.GetType().GetProperties()
                .Where(property => property.Name != "StackTrace" && property.Name != "TargetSite" && property.Name != "Data")
                .OrderBy(property => property.Name)
                .Select(property => property.Name + " = " + Show(property.GetValue(error))));
        }

        private static string Show(object value)
        {
            return value is System.Collections.IEnumerable items && !(value is string)
                ? "[" + string.Join(", ", items.Cast<object>()) + "]"
                : value?.ToString() ?? "null";
        }

#pragma warning disable SYSLIB0050, SYSLIB0051 // the formatter-based serialization members are what is tested
        [TestCaseSource(nameof(Serialized))]
        public void ASerializedExceptionComesBackWhole(Func<Exception> make)
        {
            Exception original = make();
            var info = new SerializationInfo(original.GetType(), new FormatterConverter());
            original.GetObjectData(info, new StreamingContext(StreamingContextStates.All));
            var copy = (Exception)Activator.CreateInstance(original.GetType(), BindingFlags.Instance | BindingFlags.NonPublic,
                null, new object[] { info, new StreamingContext(StreamingContextStates.All) }, null);
            Assert.That(original.GetType().IsSerializable);
            Assert.That(Describe(copy), Is.EqualTo(Describe(original)));
            if (original is VelnorException failure && failure.Function.StartsWith("vl_", StringComparison.Ordinal) &&
                failure.LogLineAbsence == null)
            {
                Assert.That(failure.LogLine, Does.Contain("[" + failure.Function + "] Error: Velnor:" + (int)failure.ResultCode + ", "));
            }
        }
#pragma warning restore SYSLIB0050, SYSLIB0051
    }
}
