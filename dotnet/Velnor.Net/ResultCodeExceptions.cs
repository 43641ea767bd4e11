using System;
using System.Runtime.Serialization;

namespace Velnor
{
    // The exception of each named result code but invalid_frequency
    // (InvalidFrequencyException.cs), made by VelnorException.Of.

    /// <summary>-1 internal_error: the system gave a null handle, or an unexpected internal fault.</summary>
    [Serializable]
    public sealed class InternalErrorException : VelnorException
    {
        internal InternalErrorException(string function, LogTicket ticket) : base(-1, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private InternalErrorException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-2 ad9516_communication_error: the driver could not talk to the AD9516 (driver status).</summary>
    [Serializable]
    public sealed class Ad9516CommunicationException : VelnorException
    {
        internal Ad9516CommunicationException(string function, LogTicket ticket) : base(-2, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private Ad9516CommunicationException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-3 invalid_device: no board at that index.</summary>
    [Serializable]
    public sealed class InvalidDeviceException : VelnorException
    {
        internal InvalidDeviceException(string function, LogTicket ticket) : base(-3, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private InvalidDeviceException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-4 null_parameter: a required pointer was null; nothing was sent.</summary>
    [Serializable]
    public sealed class NullParameterException : VelnorException
    {
        internal NullParameterException(string function, LogTicket ticket) : base(-4, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private NullParameterException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-5 failed: a system call failed (the board was removed, ...); the log line names the call.</summary>
    [Serializable]
    public sealed class CallFailedException : VelnorException
    {
        internal CallFailedException(string function, LogTicket ticket) : base(-5, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private CallFailedException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-6 no_memory: memory ran out inside the library.</summary>
    [Serializable]
    public sealed class NoMemoryException : VelnorException
    {
        internal NoMemoryException(string function, LogTicket ticket) : base(-6, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private NoMemoryException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-7 invalid_device_type: the device is not a board of this kind (driver status).</summary>
    [Serializable]
    public sealed class InvalidDeviceTypeException : VelnorException
    {
        internal InvalidDeviceTypeException(string function, LogTicket ticket) : base(-7, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private InvalidDeviceTypeException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-8 update_invalid_status: the update step does not fit the update's state (driver status).</summary>
    [Serializable]
    public sealed class UpdateInvalidStatusException : VelnorException
    {
        internal UpdateInvalidStatusException(string function, LogTicket ticket, string? advice)
            : base(-8, function, ticket, advice) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private UpdateInvalidStatusException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-9 invalid_data: the board refused a value or a firmware image (driver status).</summary>
    [Serializable]
    public sealed class InvalidBoardDataException : VelnorException
    {
        internal InvalidBoardDataException(string function, LogTicket ticket) : base(-9, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private InvalidBoardDataException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-10 timeout: the board did not answer in time (driver status).</summary>
    [Serializable]
    public sealed class DriverTimeoutException : VelnorException
    {
        internal DriverTimeoutException(string function, LogTicket ticket) : base(-10, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private DriverTimeoutException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }

    /// <summary>-11 pll_not_locked: the clock generator's PLL did not lock (driver status).</summary>
    [Serializable]
    public sealed class PllNotLockedException : VelnorException
    {
        internal PllNotLockedException(string function, LogTicket ticket) : base(-11, function, ticket) { }

#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        private PllNotLockedException(SerializationInfo info, StreamingContext context) : base(info, context) { }
    }
}
