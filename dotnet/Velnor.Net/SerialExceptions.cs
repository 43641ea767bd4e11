using System;
using System.Collections.Generic;
using System.Collections.ObjectModel;
using System.Linq;
using System.Runtime.Serialization;

namespace Velnor
{
    /// <summary>
    /// No board has the serial asked for; <see cref="Present"/> lists the boards seen. Found
    /// by the binding, not an export: <see cref="VelnorException.ResultCode"/> is
    /// <see cref="ResultCode.InvalidDevice"/>, <see cref="VelnorException.Function"/> "Board.Open".
    /// </summary>
    [Serializable]
    public sealed class BoardNotFoundException : VelnorException
    {
        internal BoardNotFoundException(string serial, IList<KeyValuePair<int, string>> present)
            : base(ResultCode.InvalidDevice, "Board.Open", string.Format("no board with serial \"{0}\"; present: {1}", serial,
                present.Count == 0 ? "no board" : string.Join(", ", present.Select(p => p.Key + ": \"" + p.Value + "\""))), null)
        {
            Serial = serial;
            Present = present;
        }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private BoardNotFoundException(SerializationInfo info, StreamingContext context)
            : base(info, context)
        {
            Serial = info.GetString("Velnor.Serial") ?? "";
            int[] indices = (int[]?)info.GetValue("Velnor.PresentIndices", typeof(int[])) ?? new int[0];
            string[] serials = (string[]?)info.GetValue("Velnor.PresentSerials", typeof(string[])) ?? new string[0];
            Present = new ReadOnlyCollection<KeyValuePair<int, string>>(
                indices.Zip(serials, (index, text) => new KeyValuePair<int, string>(index, text)).ToList());
        }

        /// <summary>The serial asked for.</summary>
        public string Serial { get; private set; }

        /// <summary>Index and serial of every board seen.</summary>
        public IList<KeyValuePair<int, string>> Present { get; private set; }

        /// <summary>Serializes the message, the serial asked for and the boards seen.</summary>
        /// <param name="info">Where the data goes.</param>
        /// <param name="context">Where it goes to.</param>
        /// <exception cref="ArgumentNullException">info is null.</exception>
#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        public override void GetObjectData(SerializationInfo info, StreamingContext context)
        {
            base.GetObjectData(info, context);
            info.AddValue("Velnor.Serial", Serial);
            info.AddValue("Velnor.PresentIndices", Present.Select(p => p.Key).ToArray());
            info.AddValue("Velnor.PresentSerials", Present.Select(p => p.Value).ToArray());
        }
    }

    /// <summary>
    /// Several boards have the serial asked for; <see cref="Indices"/> are theirs. Found by
    /// the binding, not an export: <see cref="VelnorException.ResultCode"/> is
    /// <see cref="ResultCode.InvalidDevice"/>, <see cref="VelnorException.Function"/> "Board.Open".
    /// </summary>
    [Serializable]
    public sealed class AmbiguousSerialException : VelnorException
    {
        internal AmbiguousSerialException(string serial, IList<int> indices)
            : base(ResultCode.InvalidDevice, "Board.Open", string.Format("{0} boards have serial \"{1}\", at indices {2}",
                indices.Count, serial, string.Join(", ", indices)), null)
        {
            Serial = serial;
            Indices = indices;
        }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private AmbiguousSerialException(SerializationInfo info, StreamingContext context)
            : base(info, context)
        {
            Serial = info.GetString("Velnor.Serial") ?? "";
            Indices = new ReadOnlyCollection<int>((int[]?)info.GetValue("Velnor.Indices", typeof(int[])) ?? new int[0]);
        }

        /// <summary>The serial asked for.</summary>
        public string Serial { get; private set; }

        /// <summary>The indices of the boards that have it.</summary>
        public IList<int> Indices { get; private set; }

        /// <summary>Serializes the message, the serial asked for and the indices of the boards that have it.</summary>
        /// <param name="info">Where the data goes.</param>
        /// <param name="context">Where it goes to.</param>
        /// <exception cref="ArgumentNullException">info is null.</exception>
#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        public override void GetObjectData(SerializationInfo info, StreamingContext context)
        {
            base.GetObjectData(info, context);
            info.AddValue("Velnor.Serial", Serial);
            info.AddValue("Velnor.Indices", Indices.ToArray());
        }
    }
}
