#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A serial port opened either for the short blocking probe or for the long-lived link whose
// input the worker thread waits for while the UI thread writes.

namespace relaybox {

// Milliseconds. A read lasts at most multiplier x size + constant (no limit when both are 0) and
// ends early once the interval passes between two bytes (not used when 0). A write lasts at most
// multiplier x length + constant (no limit when both are 0).
struct SerialTimeouts
{
    int readIntervalMs, readTotalMultiplierMs, readTotalConstantMs, writeTotalMultiplierMs,
        writeTotalConstantMs;
};
inline constexpr SerialTimeouts kProbeTimeouts { 0, 0, 2000, 0, 5000 };
inline constexpr SerialTimeouts kLinkTimeouts { 100, 500, 500, 100, 500 };

inline constexpr std::size_t kProbeInputBuffer = 1024;
inline constexpr std::size_t kProbeOutputBuffer = 1024;
inline constexpr std::size_t kLinkInputBuffer = 8192;
inline constexpr std::size_t kLinkOutputBuffer = 16384;

enum class PortMode { Blocking /* the probe */, Overlapped /* the long-lived link */ };

// Why the last open() failed, for a tool that tells its user what to do about it.
enum class OpenError { None, NoSuchPort, PermissionDenied, InUse, NotASerialPort, Other };

// Ready may carry queued == 0 when another read took the bytes first: wait again.
struct WaitResult
{
    enum Status { Ready, Interrupted, Failed } status;
    std::size_t queued = 0;
};

// clang-format off
class SerialPort
{
public:
    virtual ~SerialPort() = default;
    virtual bool open(const std::string &path, PortMode mode) = 0; // read/write, exclusive, existing device
    virtual bool readLineSettings() = 0; // "Get port state"
    virtual bool applyLineSettings() = 0; // 9600 baud, 8 data bits, no parity, 1 stop bit, CTS output flow control on
    virtual bool setBufferSizes(std::size_t in, std::size_t out) = 0;
    virtual bool setTimeouts(const SerialTimeouts &timeouts) = 0;
    virtual void purge(bool transmit, bool receive) = 0; // discard pending output/input
    // A receive purge never overlaps readAvailable() and the count moves with the purge, so the
    // worker can tell the bytes it read before a purge from those read after it.
    virtual std::uint64_t receivePurges() const = 0; // how many receive purges so far (thread-safe)
    virtual long read(char *data, std::size_t size) = 0; // blocking, bounded by the read time-outs; bytes read, 0 on time-out, -1 on error
    virtual long write(const char *data, std::size_t size) = 0; // the whole buffer in one write, bounded by the write time-outs; bytes written or -1
    virtual WaitResult waitForInput() = 0; // link: blocks without limit until input is queued, interrupt(), or an error (hang-up, removed device, closed)
    virtual long readAvailable(char *data, std::size_t size) = 0; // link: non-blocking read of what is queued; -1 on error
    virtual void interrupt() = 0; // from any thread: wakes a pending waitForInput() at once; later waits return Interrupted
    virtual void close() = 0; // only once no other thread is inside the port
    virtual bool isOpen() const = 0;
    virtual OpenError openError() const { return OpenError::Other; } // after a failed open()
};
// clang-format on

std::unique_ptr<SerialPort> makeSerialPort(); // the platform's implementation

} // namespace relaybox
