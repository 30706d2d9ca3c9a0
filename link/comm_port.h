#pragma once
// The serial port of the programmer link: one object, opened by port name with fixed line
// settings (8 data bits, no parity, one stop bit, no flow control, DTR on, RTS off), read a
// byte at a time, written a block at a time. Every failure raises ECommError with its code.

#include <cstddef>
#include <cstdint>
#include <string>

struct ECommError {
  // What failed, by the operation that raised it.
  enum TCode : std::uint8_t {
    BaudRefused = 1,      // ChangeBaud: the open port refused the rate
    NameWhileOpen = 6,    // AssignPortName: the port is open
    NotOpen = 7,          // PendingInput, ReceiveByte, Transmit, DiscardBuffers: port closed
    OpenFailed = 8,       // Open: the device could not be opened (or is held by another program)
    WriteFailed = 9,      // Transmit
    ReadFailed = 10,      // ReceiveByte
    CloseFailed = 11,     // Close; the port is closed all the same
    DiscardFailed = 12,   // DiscardBuffers
    GetStateFailed = 14,  // Open: the line settings could not be read
    SetStateFailed = 15,  // Open: the line settings were refused
    SetupFailed = 16,     // Open: the driver queues (on Linux: the blocking mode)
    InputCountFailed = 18 // PendingInput
  };
  std::uint8_t Code = 0;
  std::uint32_t SystemError = 0; // errno (GetLastError on Windows) when the error was raised
};

// Data formats of Reconfigure: 0 = 7 data bits, even parity, 2 stop bits; 1 = 8N1; any other
// value = 8 data bits, no parity, 2 stop bits.
constexpr int kDataFormat7E2 = 0;
constexpr int kDataFormat8N1 = 1;

// "Serial port error 18 (Input/output error)": the code and the system's words for its cause.
std::string DescribeCommError(const ECommError& error);

class TCommPort {
public:
  TCommPort();
  ~TCommPort();
  TCommPort(const TCommPort&) = delete;
  TCommPort& operator=(const TCommPort&) = delete;

  bool IsOpen() const { return FOpen; }
  void Open();
  void Close();
  void ChangeBaud(std::uint32_t rate);
  void AssignPortName(const std::string& name);
  void Reconfigure(std::uint32_t rate, const std::string& name, int format);
  std::size_t PendingInput();
  std::uint8_t ReceiveByte();
  void Transmit(const std::uint8_t* buffer, std::size_t length);
  void DiscardBuffers();

  // Waits until input arrives or the time is up, without using the processor meanwhile. May
  // return early without input when the line cannot deliver any (hung up); the protocol's polls
  // make up the rest of their interval. True when input is waiting.
  bool WaitForInput(std::uint32_t microseconds);

  const std::string& PortName() const { return FPortName; }
  std::uint32_t BaudRate() const { return FBaudRate; }
  // The device file a port name stands for: the name itself when it is an absolute path,
  // otherwise the name under /dev.
  static std::string DevicePath(const std::string& name);

private:
  bool FOpen = false;
  std::string FPortName = "COM1";
  std::uint32_t FBaudRate = 9600;
  std::uint8_t FByteSize = 8;
  bool FEvenParity = false;
  bool FTwoStopBits = false;
#ifdef _WIN32
  void* FHandle = nullptr;
#else
  int FHandle = -1;
#endif
};
