#pragma once
// The serial port of the programmer link: one object, opened by port name with fixed line
// settings (8 data bits, no parity, one stop bit, no flow control, DTR on, RTS off), read a
// byte at a time, written a block at a time. Every failure raises ECommError with its code.

#include <cstddef>
#include <cstdint>
#include <string>

struct ECommError {
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

  // Waits until input arrives or the time is up, without using the processor meanwhile; a line
  // that cannot deliver input (hung up) still takes the whole time. Returns at once when input
  // is already waiting; false when the port is closed or the time ran out.
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
