// The serial port over the Win32 communications API.

#include "link/comm_port.h"

#include <windows.h>

static_assert(sizeof(DCB) == 28, "the line settings record has the size the driver expects");

namespace {

[[noreturn]] void Raise(std::uint8_t code) {
  throw ECommError{code, static_cast<std::uint32_t>(GetLastError())};
}

// Every row of the line settings; baud rate and data format come from the object.
void FillLine(DCB& dcb, std::uint32_t rate, std::uint8_t byteSize, bool even, bool twoStop) {
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = rate;
  dcb.fBinary = 1;
  dcb.fParity = 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = 0;
  dcb.fDummy2 = 0;
  dcb.wReserved = 0;
  dcb.XonLim = 2048;
  dcb.XoffLim = 512;
  dcb.ByteSize = byteSize;
  dcb.Parity = even ? EVENPARITY : NOPARITY;
  dcb.StopBits = twoStop ? TWOSTOPBITS : ONESTOPBIT;
  dcb.wReserved1 = 0;
}

} // namespace

TCommPort::TCommPort() = default;

TCommPort::~TCommPort() {
  if (FOpen)
    CloseHandle(FHandle);
}

std::string TCommPort::DevicePath(const std::string& name) {
  // The prefix reaches COM10 and above as well as COM1.
  return "\\\\.\\" + name;
}

void TCommPort::Open() {
  if (FOpen)
    return;
  const std::string path = DevicePath(FPortName);
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    Raise(ECommError::OpenFailed);
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!GetCommState(handle, &dcb)) {
    CloseHandle(handle);
    Raise(ECommError::GetStateFailed);
  }
  FillLine(dcb, FBaudRate, FByteSize, FEvenParity, FTwoStopBits);
  if (!SetCommState(handle, &dcb)) {
    CloseHandle(handle);
    Raise(ECommError::SetStateFailed);
  }
  if (!SetupComm(handle, 32768, 9216)) {
    CloseHandle(handle);
    Raise(ECommError::SetupFailed);
  }
  FHandle = handle;
  FOpen = true;
}

void TCommPort::Close() {
  if (!FOpen)
    return;
  // A handle that CloseHandle refuses is no longer usable either: the port counts as closed,
  // so that the next Open makes a fresh one.
  const bool closed = CloseHandle(FHandle) != 0;
  FOpen = false;
  if (!closed)
    Raise(ECommError::CloseFailed);
}

void TCommPort::ChangeBaud(std::uint32_t rate) {
  const std::uint32_t previous = FBaudRate;
  FBaudRate = rate;
  if (!FOpen)
    return;
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  GetCommState(FHandle, &dcb);
  FillLine(dcb, rate, FByteSize, FEvenParity, FTwoStopBits);
  if (!SetCommState(FHandle, &dcb)) {
    FBaudRate = previous;
    Raise(ECommError::BaudRefused);
  }
}

void TCommPort::AssignPortName(const std::string& name) {
  if (FOpen) {
    SetLastError(0);
    Raise(ECommError::NameWhileOpen);
  }
  FPortName = name;
}

void TCommPort::Reconfigure(std::uint32_t rate, const std::string& name, int format) {
  FByteSize = format == kDataFormat7E2 ? 7 : 8;
  FEvenParity = format == kDataFormat7E2;
  FTwoStopBits = format != kDataFormat8N1;
  Close();
  ChangeBaud(rate);
  AssignPortName(name);
  Open();
}

std::size_t TCommPort::PendingInput() {
  if (!FOpen)
    Raise(ECommError::NotOpen);
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(FHandle, &errors, &status))
    Raise(ECommError::InputCountFailed);
  return status.cbInQue;
}

std::uint8_t TCommPort::ReceiveByte() {
  if (!FOpen)
    Raise(ECommError::NotOpen);
  std::uint8_t byte = 0;
  DWORD got = 0;
  if (!ReadFile(FHandle, &byte, 1, &got, nullptr))
    Raise(ECommError::ReadFailed);
  return byte;
}

void TCommPort::Transmit(const std::uint8_t* buffer, std::size_t length) {
  if (!FOpen)
    Raise(ECommError::NotOpen);
  if (length == 0 || buffer == nullptr)
    return;
  DWORD written = 0;
  if (!WriteFile(FHandle, buffer, static_cast<DWORD>(length), &written, nullptr) ||
      written != length) {
    // A write that failed is reported even when its error condition could be cleared.
    DWORD errors = 0;
    ClearCommError(FHandle, &errors, nullptr);
    Raise(ECommError::WriteFailed);
  }
}

void TCommPort::DiscardBuffers() {
  if (!FOpen)
    Raise(ECommError::NotOpen);
  if (!PurgeComm(FHandle, PURGE_RXCLEAR) || !PurgeComm(FHandle, PURGE_TXCLEAR))
    Raise(ECommError::DiscardFailed);
}

bool TCommPort::WaitForInput(std::uint32_t microseconds) {
  if (!FOpen)
    return false;
  // No readiness wait on a synchronous handle: sleep the poll interval.
  if (PendingInput() == 0)
    Sleep((microseconds + 999) / 1000);
  return PendingInput() > 0;
}

std::string DescribeCommError(const ECommError& error) {
  std::string text = "Serial port error " + std::to_string(error.Code);
  if (error.SystemError != 0) {
    char words[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       error.SystemError, 0, words, sizeof words, nullptr);
    std::string cause(words, length);
    while (!cause.empty() && (cause.back() == '\n' || cause.back() == '\r' || cause.back() == '.'))
      cause.pop_back();
    text +=
        " (" + (cause.empty() ? "system error " + std::to_string(error.SystemError) : cause) + ")";
  }
  return text;
}
