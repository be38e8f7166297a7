#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/switchstate.h"

namespace prometheus {
class Counter;
class Histogram;
class Registry;
template<typename T> class Family;
} // namespace prometheus

// The service's Prometheus metrics: counters and a histogram kept in prometheus-cpp's registry,
// and the switches' state read fresh at every scrape. Names carry their unit; label values are
// bounded (switch names from the configuration, banks 1..16, ports 1..8, five results).

namespace relaybox::service {

class ServiceMetrics
{
public:
    // The results a switching request ends with.
    static constexpr const char *kResults[] = { "confirmed", "not_confirmed", "refused",
                                                "link_down", "busy" };

    ServiceMetrics();
    ~ServiceMetrics();

    void countRequest(const std::string &result); // one of kResults
    void observeConfirmation(double seconds); // from a request's arrival to its confirmation

    // The text exposition format, with the switches' state as given.
    std::string exposition(const std::vector<std::pair<std::string, SwitchState>> &switches,
                           Clock::time_point now) const;

private:
    std::shared_ptr<prometheus::Registry> m_registry;
    prometheus::Family<prometheus::Counter> &m_requests;
    prometheus::Histogram &m_confirmation;
};

} // namespace relaybox::service
