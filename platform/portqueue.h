#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

// Programs of this project that want the same serial port take turns in the order they asked,
// whichever user runs them; a program that ends, however it ends, leaves the queue with it.
// Linux: one locked file per waiting program in the system's lock folder; Windows: a named mutex.

namespace relaybox {

struct PortHolder
{
    long pid = 0;
    std::string program; // the process's own name, e.g. "relaybox-cli"
};

class PortQueue
{
public:
    virtual ~PortQueue() = default; // leaves the queue: destroy it after closing the port

    // Waits at most `wait` for every program that joined earlier to leave; true once it is this
    // program's turn, which lasts until the queue is left.
    virtual bool waitForTurn(std::chrono::milliseconds wait) = 0;

    // The first program still ahead in the queue, as its file names it; nullopt when none is or
    // the system cannot tell.
    virtual std::optional<PortHolder> holderAhead() const { return std::nullopt; }
};

// Joins the queue of the port at `path`, recording the program's name and process id for a person
// who looks. Where no queue can be kept (no writable lock folder) every turn comes at once and the
// port's own exclusive open decides.
std::unique_ptr<PortQueue> joinPortQueue(const std::string &path, const std::string &program);

// The process that holds the port's lock, where the system can tell (Linux); nullopt otherwise.
std::optional<PortHolder> findPortHolder(const std::string &path);

} // namespace relaybox
