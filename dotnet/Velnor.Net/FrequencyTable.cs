using System;
using System.Collections.Generic;
using System.Collections.ObjectModel;
using System.Linq;

namespace Velnor
{
    /// <summary>
    /// The frequencies the board's AD9516 can produce in internal mode: a VCO of 1.8 to
    /// 2.2 GHz on a 10 MHz grid, divided by 2 to 6 and by 1 to 32, exact quotients only.
    /// </summary>
    internal static class FrequencyTable
    {
        private static readonly Lazy<long[]> Table = new Lazy<long[]>(Build);

        private static long[] Build()
        {
            var quotients = new SortedSet<long>();
            for (long vco = 1800000000; vco <= 2200000000; vco += 10000000)
            {
                for (long vcoDivider = 2; vcoDivider <= 6; ++vcoDivider)
                {
                    for (long channelDivider = 1; channelDivider <= 32; ++channelDivider)
                    {
                        long divider = vcoDivider * channelDivider;
                        if (vco % divider == 0)
                        {
                            quotients.Add(vco / divider);
                        }
                    }
                }
            }
            return quotients.ToArray();
        }

        // The neighbours of a refused frequency, lower first; the one bound it lies beyond.
        internal static IList<long> Nearest(long frequencyHz)
        {
            long[] table = Table.Value;
            int at = Array.BinarySearch(table, frequencyHz);
            long[] result;
            if (at >= 0)
            {
                result = new[] { table[at] };
            }
            else
            {
                int above = ~at;
                result = above == table.Length ? new[] { table[table.Length - 1] }
                    : above == 0 ? new[] { table[0] }
                    : new[] { table[above - 1], table[above] };
            }
            return new ReadOnlyCollection<long>(result);
        }
    }
}
