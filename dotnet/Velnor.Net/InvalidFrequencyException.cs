using System;
using System.Collections.Generic;
using System.Collections.ObjectModel;
using System.Runtime.Serialization;

namespace Velnor
{
    /// <summary>
    /// -13 invalid_frequency: the AD9516 cannot produce the internal-mode frequency asked
    /// for; nothing was sent. <see cref="Nearest"/> gives the producible frequencies
    /// next to it.
    /// </summary>
    [Serializable]
    public sealed class InvalidFrequencyException : VelnorException
    {
        internal InvalidFrequencyException(string function, LogTicket ticket, long requestedHz)
            : base(-13, function, ticket)
        {
            RequestedHz = requestedHz;
            Nearest = FrequencyTable.Nearest(requestedHz);
        }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private InvalidFrequencyException(SerializationInfo info, StreamingContext context)
            : base(info, context)
        {
            RequestedHz = info.GetInt64("Velnor.RequestedHz");
            Nearest = new ReadOnlyCollection<long>((long[]?)info.GetValue("Velnor.Nearest", typeof(long[])) ?? new long[0]);
        }

        /// <summary>The refused frequency in hertz.</summary>
        public long RequestedHz { get; private set; }

        /// <summary>
        /// The producible frequencies next to the refused one, in hertz: the two neighbours
        /// (lower first), or the one bound that was crossed, as the log line names them.
        /// </summary>
        public IList<long> Nearest { get; private set; }

        /// <summary>Serializes the code, the export, the log line, the refused frequency and its neighbours.</summary>
        /// <param name="info">Where the data goes.</param>
        /// <param name="context">Where it goes to.</param>
        /// <exception cref="ArgumentNullException">info is null.</exception>
#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        public override void GetObjectData(SerializationInfo info, StreamingContext context)
        {
            base.GetObjectData(info, context);
            info.AddValue("Velnor.RequestedHz", RequestedHz);
            info.AddValue("Velnor.Nearest", new List<long>(Nearest).ToArray());
        }
    }
}
