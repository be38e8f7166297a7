#include "service/servicemetrics.h"

#include <prometheus/counter.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>
#include <sstream>

namespace relaybox::service {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily gaugeFamily(std::string name, std::string help)
{
    return { std::move(name), std::move(help), MetricType::Gauge, {} };
}

void addGauge(MetricFamily &family, std::vector<ClientMetric::Label> labels, double value)
{
    ClientMetric metric;
    metric.label = std::move(labels);
    metric.gauge.value = value;
    family.metric.push_back(std::move(metric));
}

} // namespace

ServiceMetrics::ServiceMetrics()
    : m_registry(std::make_shared<prometheus::Registry>())
    , m_requests(prometheus::BuildCounter()
                     .Name("relaybox_switching_requests_total")
                     .Help("Switching requests by result")
                     .Register(*m_registry))
    , m_confirmation(prometheus::BuildHistogram()
                         .Name("relaybox_confirmation_seconds")
                         .Help("Seconds from a switching request to the status that confirmed it")
                         .Register(*m_registry)
                         .Add({},
                              prometheus::Histogram::BucketBoundaries { 0.05, 0.1, 0.25, 0.5, 1,
                                                                        2.5, 5, 10, 30 }))
{
    for (const char *result : kResults)
        m_requests.Add({ { "result", result } });
}

ServiceMetrics::~ServiceMetrics() = default;

void ServiceMetrics::countRequest(const std::string &result)
{
    m_requests.Add({ { "result", result } }).Increment();
}

void ServiceMetrics::observeConfirmation(double seconds)
{
    m_confirmation.Observe(seconds);
}

std::string
ServiceMetrics::exposition(const std::vector<std::pair<std::string, SwitchState>> &switches,
                           Clock::time_point now) const
{
    MetricFamily linkUp = gaugeFamily("relaybox_link_up", "1 while the switch's line is up");
    MetricFamily banks = gaugeFamily("relaybox_banks", "Banks in the switch's chain");
    MetricFamily age = gaugeFamily("relaybox_status_age_seconds",
                                   "Seconds since the switch's last complete status");
    MetricFamily portOn = gaugeFamily("relaybox_port_on", "1 when the port is on");
    MetricFamily current = gaugeFamily("relaybox_bank_current_amperes", "The bank's load current");
    for (const auto &[name, state] : switches) {
        addGauge(linkUp, { { "switch", name } }, state.linkUp ? 1 : 0);
        addGauge(banks, { { "switch", name } }, state.bankCount);
        if (const auto seconds = state.age(now))
            addGauge(age, { { "switch", name } }, *seconds);
        for (int bank = 1; bank <= state.bankCount; ++bank) {
            const std::string bankText = std::to_string(bank);
            addGauge(current, { { "bank", bankText }, { "switch", name } },
                     state.banks[bank].current);
            for (int port = 1; port <= kLettersPerBank; ++port)
                addGauge(
                    portOn,
                    { { "bank", bankText }, { "port", std::to_string(port) }, { "switch", name } },
                    state.banks[bank].isOn(port) ? 1 : 0);
        }
    }
    std::vector<MetricFamily> families { std::move(linkUp), std::move(banks), std::move(age),
                                         std::move(portOn), std::move(current) };
    for (MetricFamily &family : m_registry->Collect())
        families.push_back(std::move(family));
    std::ostringstream out;
    prometheus::TextSerializer().Serialize(out, families);
    return out.str();
}

} // namespace relaybox::service
