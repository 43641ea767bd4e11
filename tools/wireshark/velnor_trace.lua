-- Wireshark dissector for Velnor traces (Velnor-trace-*.pcapng, written
-- by the recording build of the library). Each packet is one platform call:
-- a 64-byte little-endian record header, the call's input bytes, then its
-- output bytes (docs/traces.md). For DeviceIoControl the request is named
-- as the board's protocol names it, the reply's status word as the library
-- names its result codes, and the fields of each request's input and payload
-- are shown.
--
--   tshark -X lua_script:tools/wireshark/velnor_trace.lua -r TRACE.pcapng -V
--   or copy the file into Wireshark's personal plugins folder.

local velnor = Proto("velnor", "Velnor platform call")

local kinds = {
    [0] = "CM_Get_Device_Interface_List_SizeA", [1] = "CM_Get_Device_Interface_ListW",
    [2] = "CreateFileW", [3] = "CloseHandle", [4] = "DeviceIoControl", [5] = "GetLastError",
}

-- Request n is control code 0x222000 + 4n (velnor_board_protocol.h); any
-- other code is not a board request and is shown as its code alone.
local first_code = 0x222000
local requests = {
    [0] = "get_driver_version", [1] = "get_firmware_version", [2] = "update_start",
    [3] = "update_status", [4] = "update_write", [5] = "update_complete", [6] = "update_reset",
    [7] = "get_led", [8] = "set_led", [9] = "get_trigger_polarity", [10] = "set_trigger_polarity",
    [11] = "get_trigger_status", [12] = "set_trigger_status", [13] = "get_clock",
    [14] = "set_clock", [15] = "reg_write", [16] = "reg_read", [17] = "get_serial",
}

-- The library's result codes (velnor.h), which the driver's status words share.
local statuses = {
    [0] = "success", [-1] = "internal_error", [-2] = "ad9516_communication_error",
    [-3] = "invalid_device", [-4] = "null_parameter", [-5] = "failed", [-6] = "no_memory",
    [-7] = "invalid_device_type", [-8] = "update_invalid_status", [-9] = "invalid_data",
    [-10] = "timeout", [-11] = "pll_not_locked", [-13] = "invalid_frequency",
}

local leds = { [0] = "off", [1] = "on", [2] = "blinking" }
local polarities = { [0] = "rising", [1] = "falling" }
local trigger_states = { [0] = "disarmed", [1] = "armed", [2] = "triggered" }
local clock_modes = { [0] = "internal", [1] = "external" }
local update_states = {
    [0] = "idle", [1] = "erasing", [2] = "ready", [3] = "verifying", [4] = "done", [5] = "failed",
}

local f = velnor.fields
f.kind = ProtoField.uint8("velnor.call", "Call", base.DEC, kinds)
f.flags = ProtoField.uint8("velnor.flags", "Pointer flags", base.HEX)
f.thread = ProtoField.uint32("velnor.thread", "Thread", base.DEC)
f.sequence = ProtoField.uint64("velnor.sequence", "Sequence", base.DEC)
f.time = ProtoField.uint64("velnor.time_ns", "Time since the trace began (ns)", base.DEC)
f.handle = ProtoField.uint64("velnor.handle", "Handle", base.HEX)
f.result = ProtoField.uint32("velnor.result", "Result", base.DEC)
f.last_error = ProtoField.uint32("velnor.last_error", "Last error", base.DEC)
f.code = ProtoField.uint32("velnor.code", "Control code", base.HEX)
f.request = ProtoField.uint32("velnor.request", "Request", base.DEC, requests)
f.in_length = ProtoField.uint32("velnor.in_length", "Input length", base.DEC)
f.capacity = ProtoField.uint32("velnor.capacity", "Reply capacity", base.DEC)
f.returned = ProtoField.uint32("velnor.returned", "Bytes returned", base.DEC)
f.p0 = ProtoField.uint32("velnor.p0", "Flags", base.HEX)
f.list_length = ProtoField.uint32("velnor.list_length", "List length (characters)", base.DEC)
f.access = ProtoField.uint32("velnor.access", "Access", base.HEX)
f.share = ProtoField.uint32("velnor.share", "Share mode", base.HEX)
f.disposition = ProtoField.uint32("velnor.disposition", "Disposition", base.DEC)
f.attributes = ProtoField.uint32("velnor.attributes", "Flags and attributes", base.HEX)
f.in_size = ProtoField.uint32("velnor.in_size", "Input bytes recorded", base.DEC)
f.out_size = ProtoField.uint32("velnor.out_size", "Output bytes recorded", base.DEC)
f.guid = ProtoField.guid("velnor.class", "Interface class")
f.path = ProtoField.string("velnor.path", "Path")
f.list = ProtoField.none("velnor.list", "Interface list")
f.list_path = ProtoField.string("velnor.list.path", "Listed path")
f.status = ProtoField.int32("velnor.status", "Status", base.DEC, statuses)
f.major = ProtoField.uint32("velnor.version.major", "Major", base.DEC)
f.minor = ProtoField.uint32("velnor.version.minor", "Minor", base.DEC)
f.patch = ProtoField.uint32("velnor.version.patch", "Patch", base.DEC)
f.version_text = ProtoField.string("velnor.version.text", "Version text")
f.serial = ProtoField.string("velnor.serial", "Serial")
f.led = ProtoField.uint32("velnor.led", "LED", base.DEC, leds)
f.polarity = ProtoField.uint32("velnor.trigger.polarity", "Trigger polarity", base.DEC, polarities)
f.trigger = ProtoField.uint32("velnor.trigger.status", "Trigger status", base.DEC, trigger_states)
f.clock_mode = ProtoField.uint32("velnor.clock.mode", "Clock mode", base.DEC, clock_modes)
f.clock_reserved = ProtoField.bytes("velnor.clock.reserved", "Reserved")
f.frequency = ProtoField.int64("velnor.clock.frequency", "Frequency (Hz)", base.DEC)
f.address = ProtoField.uint32("velnor.register.address", "Register address", base.HEX)
f.value = ProtoField.uint32("velnor.register.value", "Register value", base.HEX)
f.update_state = ProtoField.uint32("velnor.update.state", "Update state", base.DEC, update_states)
f.received = ProtoField.uint32("velnor.update.received", "Image bytes received", base.DEC)
f.block_offset = ProtoField.uint32("velnor.update.offset", "Block offset", base.DEC)
f.block_length = ProtoField.uint32("velnor.update.length", "Block length", base.DEC)
f.data = ProtoField.bytes("velnor.data", "Data")

-- A record that is not whole, or a field that does not fit its record, is
-- flagged as malformed where Wireshark's expert view lists it.
local malformed = ProtoExpert.new("velnor.malformed", "Malformed Velnor record",
                                  expert.group.MALFORMED, expert.severity.ERROR)
velnor.experts = { malformed }

local function utf16(range)
    return range:le_ustring()
end

-- A UTF-16LE list of NUL-terminated paths, ended by an empty one: the
-- paths' ranges in order (le_ustring alone stops at the first NUL).
local function list_paths(range)
    local paths = {}
    local start = 0
    local units = math.floor(range:len() / 2)
    for i = 0, units - 1 do
        if range(2 * i, 2):le_uint() == 0 then
            if i == start then break end
            paths[#paths + 1] = range(2 * start, 2 * (i - start))
            start = i + 1
        end
    end
    return paths
end

-- The board request of a control code, or nil when the code is not one.
local function request_of(code)
    local offset = code - first_code
    if offset < 0 or offset % 4 ~= 0 then return nil end
    return math.floor(offset / 4)
end

local function version(tree, range, label)
    if range:len() < 44 then return end
    local t = tree:add(range, label)
    t:add_le(f.major, range(0, 4))
    t:add_le(f.minor, range(4, 4))
    t:add_le(f.patch, range(8, 4))
    t:add(f.version_text, range(12, 32))
end

local function clock(tree, range)
    if range:len() < 16 then return end
    local t = tree:add(range, "Clock record")
    t:add_le(f.clock_mode, range(0, 4))
    t:add(f.clock_reserved, range(4, 4))
    t:add_le(f.frequency, range(8, 8))
end

-- The request's input, by request number.
local function request_input(tree, fn, range)
    local n = range:len()
    if (fn == 8) and n >= 4 then tree:add_le(f.led, range(0, 4))
    elseif fn == 10 and n >= 4 then tree:add_le(f.polarity, range(0, 4))
    elseif fn == 12 and n >= 4 then tree:add_le(f.trigger, range(0, 4))
    elseif fn == 14 then clock(tree, range)
    elseif fn == 15 and n >= 8 then
        tree:add_le(f.address, range(0, 4))
        tree:add_le(f.value, range(4, 4))
    elseif fn == 16 and n >= 4 then tree:add_le(f.address, range(0, 4))
    elseif fn == 4 and n >= 8 then
        tree:add_le(f.block_offset, range(0, 4))
        tree:add_le(f.block_length, range(4, 4))
        if n > 8 then tree:add(f.data, range(8)) end
    elseif n > 0 then tree:add(f.data, range)
    end
end

-- The reply: the status word, then the request's payload.
local function request_reply(tree, fn, range)
    if range:len() < 4 then
        if range:len() > 0 then tree:add(f.data, range) end
        return nil
    end
    tree:add_le(f.status, range(0, 4))
    local status = range(0, 4):le_int()
    local payload = range:len() > 4 and range(4) or nil
    if payload == nil then return status end
    local n = payload:len()
    if fn == 0 then version(tree, payload, "Driver version")
    elseif fn == 1 then version(tree, payload, "Firmware version")
    elseif fn == 3 and n >= 8 then
        tree:add_le(f.update_state, payload(0, 4))
        tree:add_le(f.received, payload(4, 4))
    elseif fn == 7 and n >= 4 then tree:add_le(f.led, payload(0, 4))
    elseif fn == 9 and n >= 4 then tree:add_le(f.polarity, payload(0, 4))
    elseif fn == 11 and n >= 4 then tree:add_le(f.trigger, payload(0, 4))
    elseif fn == 13 then clock(tree, payload)
    elseif fn == 16 and n >= 1 then tree:add(f.value, payload(0, 1))
    elseif fn == 17 then tree:add(f.serial, payload)
    else tree:add(f.data, payload)
    end
    return status
end

function velnor.dissector(buffer, pinfo, root)
    pinfo.cols.protocol = "Velnor"
    local tree = root:add(velnor, buffer(), "Velnor platform call")
    if buffer:len() < 64 or buffer(0, 2):le_uint() ~= 64 then
        tree:add_proto_expert_info(malformed, "record header of the wrong size")
        pinfo.cols.info = "Velnor record with a header of the wrong size"
        return buffer:len()
    end
    local kind = buffer(2, 1):uint()
    local in_size = buffer(56, 4):le_uint()
    local out_size = buffer(60, 4):le_uint()
    tree:add(f.kind, buffer(2, 1))
    tree:add(f.flags, buffer(3, 1))
    tree:add_le(f.thread, buffer(4, 4))
    tree:add_le(f.sequence, buffer(8, 8))
    tree:add_le(f.time, buffer(16, 8))
    tree:add_le(f.handle, buffer(24, 8))
    tree:add_le(f.result, buffer(32, 4))
    tree:add_le(f.last_error, buffer(36, 4))
    local name = kinds[kind] or ("call " .. kind)
    local info = name
    if kinds[kind] == nil then
        tree:add_proto_expert_info(malformed, "unknown call kind " .. kind)
    end
    if 64 + in_size + out_size ~= buffer:len() then
        tree:add_proto_expert_info(malformed, "record data sizes do not add up to the packet")
        pinfo.cols.info = info .. " [malformed]"
        return buffer:len()
    end
    local input = in_size > 0 and buffer(64, in_size) or nil
    local output = out_size > 0 and buffer(64 + in_size, out_size) or nil
    tree:add_le(f.in_size, buffer(56, 4))
    tree:add_le(f.out_size, buffer(60, 4))

    if kind == 0 or kind == 1 then
        tree:add_le(f.p0, buffer(40, 4))
        tree:add_le(f.list_length, buffer(44, 4))
        if input and in_size >= 16 then tree:add_le(f.guid, input(0, 16)) end
        if output then
            local paths = list_paths(output)
            local t = tree:add(f.list, output)
            t:append_text(string.format(": %d %s", #paths, #paths == 1 and "path" or "paths"))
            for _, path in ipairs(paths) do t:add(f.list_path, path, utf16(path)) end
        end
        info = info .. string.format(" -> %d, %d characters", buffer(32, 4):le_uint(),
                                     buffer(44, 4):le_uint())
    elseif kind == 2 then
        tree:add_le(f.access, buffer(40, 4))
        tree:add_le(f.share, buffer(44, 4))
        tree:add_le(f.disposition, buffer(48, 4))
        tree:add_le(f.attributes, buffer(52, 4))
        if input then
            tree:add(f.path, input, utf16(input))
            info = info .. " " .. utf16(input)
        end
        info = info .. (buffer(32, 4):le_uint() ~= 0 and " -> handle" or " -> failed")
    elseif kind == 4 then
        local code = buffer(40, 4):le_uint()
        tree:add_le(f.code, buffer(40, 4))
        local fn = request_of(code)
        if fn ~= nil then tree:add(f.request, buffer(40, 4), fn) end
        tree:add_le(f.in_length, buffer(44, 4))
        tree:add_le(f.capacity, buffer(48, 4))
        tree:add_le(f.returned, buffer(52, 4))
        info = info .. " " .. (fn ~= nil and requests[fn] or string.format("0x%X", code))
        if input then
            local t = tree:add(input, "Input")
            request_input(t, fn, input)
        end
        if buffer(32, 4):le_uint() == 0 then
            info = info .. " -> failed, error " .. buffer(36, 4):le_uint()
        elseif output then
            local t = tree:add(output, "Reply")
            local status = request_reply(t, fn, output)
            if status ~= nil then
                info = info .. " -> " .. (statuses[status] or tostring(status))
            end
        end
    elseif kind == 3 then
        info = info .. (buffer(32, 4):le_uint() ~= 0 and " -> closed" or " -> failed")
    elseif kind == 5 then
        info = info .. " -> " .. buffer(32, 4):le_uint()
    end
    pinfo.cols.info = info
    return buffer:len()
end

-- LINKTYPE_USER0 is Wireshark's "USER 0" encapsulation.
local user_dlts = DissectorTable.get("wtap_encap")
user_dlts:add(wtap.USER0, velnor)
