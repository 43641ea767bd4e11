using System.Linq;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>Every test starts from one virtual board, "LAB-0001", and no fault switch.</summary>
    public abstract class SimulationFixture
    {
        protected int BoardId;

        [SetUp]
        public void AddBoard()
        {
            Simulation.Reset();
            BoardId = Simulation.AddBoard("LAB-0001");
        }

        [TearDown]
        public void ResetPlatform()
        {
            Simulation.Reset();
        }

        // The log line without its time stamp: "[Velnor] [error] [function] Error: ...".
        protected static string WithoutStamp(string line)
        {
            Assert.That(line, Does.Match(@"^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] "));
            return line.Substring(26);
        }
    }
}
