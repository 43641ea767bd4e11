using System;
using System.Runtime.Serialization;

namespace Velnor
{
    /// <summary>
    /// A firmware image or payload the board would refuse; <see cref="Reason"/> says why and
    /// <see cref="ArgumentException.ParamName"/> names the argument ("image"). A wrong
    /// argument, so an <see cref="ArgumentException"/> (as it always was) rather than a
    /// <see cref="VelnorException"/>: nothing was sent to a board.
    /// </summary>
    [Serializable]
    public sealed class FirmwareImageException : ArgumentException
    {
        internal FirmwareImageException(string reason, string paramName = "image")
            : base("not a valid firmware image: " + reason, paramName)
        {
            Reason = reason;
        }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private FirmwareImageException(SerializationInfo info, StreamingContext context)
            : base(info, context)
        {
            Reason = info.GetString("Velnor.Reason") ?? "";
        }

        /// <summary>What is wrong with the image.</summary>
        public string Reason { get; private set; }

        /// <summary>Serializes the message, the argument's name and the reason.</summary>
        /// <param name="info">Where the data goes.</param>
        /// <param name="context">Where it goes to.</param>
        /// <exception cref="ArgumentNullException">info is null.</exception>
#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        public override void GetObjectData(SerializationInfo info, StreamingContext context)
        {
            base.GetObjectData(info, context);
            info.AddValue("Velnor.Reason", Reason);
        }
    }
}
