#include "link/win32/win32_serial_port.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

#include "base/win32_text.h"

namespace orv {
namespace {

HANDLE AsHandle(void* h) {
    return static_cast<HANDLE>(h);
}

OpenFailure ClassifyOpenError(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
            return OpenFailure::kNoSuchDevice;
        case ERROR_ACCESS_DENIED:  // a COM port is for one program at a time
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return OpenFailure::kBusy;
        default:
            return OpenFailure::kOther;
    }
}

// The line as the protocol needs it: raw bytes, NUL kept, no flow control of any kind (0x11 and
// 0x13 are ordinary protocol bytes), errors never stopping the line.
void SetFrame(DCB& dcb, const SerialSettings& s) {
    dcb.BaudRate = static_cast<DWORD>(s.baud);
    dcb.ByteSize = static_cast<BYTE>(s.dataBits);
    dcb.Parity = s.parity == 'E' ? EVENPARITY : s.parity == 'O' ? ODDPARITY : NOPARITY;
    // With five data bits the second stop bit is one and a half, as serial hardware has it.
    dcb.StopBits = s.stopBits == 1 ? ONESTOPBIT : s.dataBits == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    dcb.fBinary = TRUE;
    dcb.fParity = s.parity != 'N';
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

}  // namespace

std::string Win32DevicePath(const std::string& device) {
    if (device.rfind("\\\\", 0) == 0) return device;
    return "\\\\.\\" + device;
}

Win32SerialPort::~Win32SerialPort() {
    Close();
}

bool Win32SerialPort::Open(const std::string& device, const SerialSettings& settings,
                           OpenFailure* failure, std::string* detail) {
    Close();
    auto fail = [&](OpenFailure f, std::string why) {
        if (failure) *failure = f;
        if (detail) *detail = std::move(why);
        Close();
        return false;
    };
    const std::wstring path = WideFromUtf8(Win32DevicePath(device));
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        return fail(ClassifyOpenError(code), Win32ErrorText(code));
    }
    handle_ = h;

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb)) {
        const DWORD code = ::GetLastError();
        return fail(OpenFailure::kOther, "it is not a serial port (" + Win32ErrorText(code) + ")");
    }
    SetFrame(dcb, settings);
    if (!::SetCommState(h, &dcb)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED)
            return fail(OpenFailure::kBadSettings, SettingsText(settings));
        return fail(OpenFailure::kOther, Win32ErrorText(code));
    }

    // A write may take as long as its bytes need on the line (10 bits each), plus a margin.
    writeMsPerByte_ = static_cast<unsigned long>(std::ceil(10000.0 / settings.baud)) + 1;
    writeTimeoutMs_ = 5000;
    readWaitMs_ = 0;
    readPauseMs_ = MAXDWORD;
    charTime_ = CharacterTime(settings);
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;  // with the rest zero: return at once with what is there
    t.WriteTotalTimeoutMultiplier = writeMsPerByte_;
    t.WriteTotalTimeoutConstant = writeTimeoutMs_;
    if (!::SetCommTimeouts(h, &t)) {
        const DWORD code = ::GetLastError();
        return fail(OpenFailure::kOther, Win32ErrorText(code));
    }
    // Whatever the driver still holds from before this exchange is not a reply to it.
    ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    received_.clear();
    if (failure) *failure = OpenFailure::kNone;
    return true;
}

void Win32SerialPort::Close() {
    if (handle_) {
        ::CloseHandle(AsHandle(handle_));
        handle_ = nullptr;
    }
    received_.clear();
}

bool Win32SerialPort::IsOpen() const {
    return handle_ != nullptr;
}

bool Win32SerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (!handle_) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 4096));
        if (!::WriteFile(AsHandle(handle_), bytes.data() + done, chunk, &n, nullptr) || n == 0)
            return false;  // a failure, or the line took nothing before the write timeout
        done += n;
    }
    return true;
}

bool Win32SerialPort::Receive(unsigned long waitMs, std::size_t count, unsigned long pauseMs) {
    const HANDLE h = AsHandle(handle_);
    // Not waiting: an interval of MAXDWORD with the rest zero returns at once.
    const unsigned long pause = waitMs == 0 ? MAXDWORD : pauseMs;
    if (waitMs != readWaitMs_ || pause != readPauseMs_) {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = pause;
        t.ReadTotalTimeoutConstant = waitMs;  // the whole read
        t.WriteTotalTimeoutMultiplier = writeMsPerByte_;
        t.WriteTotalTimeoutConstant = writeTimeoutMs_;
        if (!::SetCommTimeouts(h, &t)) return false;
        readWaitMs_ = waitMs;
        readPauseMs_ = pause;
    }
    // Waiting asks for the bytes expected, so that the read ends as soon as they are there;
    // what follows them is taken without waiting.
    std::uint8_t buf[512];
    const DWORD ask = waitMs == 0
                          ? sizeof buf
                          : static_cast<DWORD>(std::clamp<std::size_t>(count, 1, sizeof buf));
    DWORD n = 0;
    if (!::ReadFile(h, buf, ask, &n, nullptr)) return false;
    received_.insert(received_.end(), buf, buf + n);
    return true;
}

std::size_t Win32SerialPort::BytesWaiting() {
    if (!handle_) return 0;
    if (received_.empty()) Receive(0);
    return received_.size();
}

std::optional<std::uint8_t> Win32SerialPort::ReadByte() {
    if (BytesWaiting() == 0) return std::nullopt;
    const std::uint8_t byte = received_.front();
    received_.pop_front();
    return byte;
}

bool Win32SerialPort::WaitForBytes(SerialClock::time_point deadline) {
    return WaitForReply(deadline, 1);
}

bool Win32SerialPort::WaitForReply(SerialClock::time_point deadline, std::size_t count) {
    if (!handle_) return false;
    // Whole only where the reply is short on the line; a slow line (or a wait for any byte) wakes
    // at each byte.
    const bool whole = count > 1 && charTime_ * static_cast<long long>(count) <= kMaxWholeReplyTime;
    if (!whole) count = 1;
    const auto pause = charTime_ * kReplyPauseChars;
    const auto pauseMs = whole
                             ? static_cast<unsigned long>(std::max<long long>(
                                   1, std::chrono::ceil<std::chrono::milliseconds>(pause).count()))
                             : 0UL;
    while (received_.empty()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - SerialClock::now());
        if (left.count() <= 0) {
            Receive(0);
            break;
        }
        const auto ms = static_cast<unsigned long>(std::ceil(left.count() / 1000.0));
        // A failed read is a device error that no amount of waiting will cure.
        if (!Receive(std::min<unsigned long>(ms, MAXDWORD - 1), count, pauseMs)) break;
    }
    return !received_.empty();
}

}  // namespace orv
