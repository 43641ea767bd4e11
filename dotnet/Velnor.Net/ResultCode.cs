namespace Velnor
{
    /// <summary>
    /// The library's named result codes. A board's driver may report any 32-bit value, so
    /// a <see cref="VelnorException.ResultCode"/> can also hold a value outside this list.
    /// </summary>
    public enum ResultCode
    {
        /// <summary>0 "success": the call completed.</summary>
        Success = 0,

        /// <summary>-1 "internal_error": the system gave a null handle, or an unexpected internal fault.</summary>
        InternalError = -1,

        /// <summary>-2 "ad9516_communication_error": the driver could not talk to the AD9516.</summary>
        Ad9516CommunicationError = -2,

        /// <summary>-3 "invalid_device": no board at that index.</summary>
        InvalidDevice = -3,

        /// <summary>-4 "null_parameter": a required pointer was null; nothing was sent.</summary>
        NullParameter = -4,

        /// <summary>-5 "failed": a system call failed (the board was removed, ...); the log line names it.</summary>
        Failed = -5,

        /// <summary>-6 "no_memory": memory ran out.</summary>
        NoMemory = -6,

        /// <summary>-7 "invalid_device_type": the device is not a board of this kind.</summary>
        InvalidDeviceType = -7,

        /// <summary>-8 "update_invalid_status": the update step does not fit the update's state.</summary>
        UpdateInvalidStatus = -8,

        /// <summary>-9 "invalid_data": a value outside the board's range, or a bad firmware image.</summary>
        InvalidData = -9,

        /// <summary>-10 "timeout": the board did not answer in time.</summary>
        Timeout = -10,

        /// <summary>-11 "pll_not_locked": the clock generator's PLL did not lock.</summary>
        PllNotLocked = -11,

        /// <summary>-13 "invalid_frequency": the AD9516 cannot produce the frequency; nothing was sent.</summary>
        InvalidFrequency = -13
    }
}
