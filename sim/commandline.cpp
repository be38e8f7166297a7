#include "sim/commandline.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "sim/controlcommand.h"
#include "sim/firmwareloader.h"
#include "sim/linkpath.h"

namespace relaybox::sim {

namespace {

std::optional<int> integer(const std::string &text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Four characters that cannot break a reply frame.
bool validVersion(const std::string &text)
{
    if (text.size() != 4)
        return false;
    for (const char c : text)
        if (c <= ' ' || c >= 0x7f || c == '/' || c == '\\' || c == '>' || c == '!')
            return false;
    return true;
}

} // namespace

std::optional<CommandLine> parseCommandLine(const std::vector<std::string> &args,
                                            std::string &error)
{
    CommandLine line;
    DeviceSettings &device = line.options.device;
    device.startTime = hostLocalTime();
    bool currentGiven = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &option = args[i];
        const auto value = [&]() -> const std::string * {
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return nullptr;
            }
            return &args[++i];
        };
        if (option == "--help" || option == "-h") {
            line.help = true;
        } else if (option == "--banks") {
            const std::string *text = value();
            if (!text)
                return std::nullopt;
            const auto banks = integer(*text);
            if (!banks || *banks < 1 || *banks > DeviceModel::kMaxBanks) {
                error = "--banks takes a count from 1 to 16";
                return std::nullopt;
            }
            device.banks = *banks;
        } else if (option == "--link") {
            const std::string *text = value();
            if (!text)
                return std::nullopt;
            if (text->empty()) {
                error = "--link needs a path";
                return std::nullopt;
            }
            line.options.linkPath = *text;
        } else if (option == "--status") {
            const std::string *text = value();
            if (!text)
                return std::nullopt;
            if (*text != "full" && *text != "split") {
                error = "--status takes full or split";
                return std::nullopt;
            }
            device.status = *text == "full" ? StatusForm::Full : StatusForm::Split;
        } else if (option == "--current") {
            const std::string *text = value();
            if (!text)
                return std::nullopt;
            char *end = nullptr;
            const double amps = std::strtod(text->c_str(), &end);
            if (text->empty() || *end != '\0' || !(amps >= 0.0 && amps <= DeviceModel::kMaxAmps)) {
                error = "--current takes amperes from 0 to 99.9";
                return std::nullopt;
            }
            device.amps = amps;
            currentGiven = true;
        } else if (option == "--drift") {
            device.drift = true;
        } else if (option == "--version") {
            const std::string *text = value();
            if (!text)
                return std::nullopt;
            if (!validVersion(*text)) {
                error = "--version takes 4 printable characters, for example 1203";
                return std::nullopt;
            }
            device.version = *text;
        } else if (option == "--loader") {
            device.loader = true;
        } else if (option == "--clock-fail") {
            device.clockFail = true;
        } else if (option == "--expect-image") {
            const std::string *text = value();
            if (!text)
                return std::nullopt;
            device.expectedImage = readImageFile(*text, error);
            if (!device.expectedImage)
                return std::nullopt;
        } else if (option == "--pace") {
            line.options.pace = true;
        } else if (option == "--silent") {
            device.silent = true;
        } else {
            error = "unknown option " + option + " (see --help)";
            return std::nullopt;
        }
    }
    if (currentGiven && device.drift) {
        error = "--current and --drift exclude each other";
        return std::nullopt;
    }
    if (line.options.linkPath.empty())
        line.options.linkPath = LinkPath::defaultPath();
    return line;
}

std::string helpText()
{
    char delays[640];
    std::snprintf(
        delays, sizeof delays,
        "Loader timing: in loader mode the answer \"/abc\\\" is followed after %lld ms by the\n"
        "loader's text lines and prompt, and they repeat every %lld ms while no image byte\n"
        "arrives. Without an expected image, %lld ms of silence after a spinner ends the\n"
        "upload. Fewer than %zu bytes followed by %lld ms of silence are read as host frames\n"
        "again (a new link probing the loader); with an expected image, an upload that stalls\n"
        "for %lld ms is given up and the loader waits for the host again.\n",
        static_cast<long long>(FirmwareLoader::kBannerDelay.count()),
        static_cast<long long>(FirmwareLoader::kBannerRepeat.count()),
        static_cast<long long>(FirmwareLoader::kEndSilence.count()), FirmwareLoader::kBurst,
        static_cast<long long>(FirmwareLoader::kBurstGap.count()),
        static_cast<long long>(FirmwareLoader::kStall.count()));

    return std::string(
               "Usage: relaybox-sim --banks N [--link PATH] [options]\n"
               "\n"
               "A simulated KESTRANE Relaybox switch on a pseudo-terminal. It opens a terminal\n"
               "pair, links PATH to the terminal side (/dev/pts/N, raw mode), prints\n"
               "\"LINK <path>\" as its first line and serves until SIGINT, SIGTERM, the end of\n"
               "its standard input or the quit command. It removes its link when it ends.\n"
               "\n"
               "Options:\n"
               "  --banks N             banks in the chain, 1 to 16 (default 1)\n"
               "  --link PATH           the link to make (default: ports/relaybox-sim in the\n"
               "                        folder of this program, or in ~/.config/kestrane/\n"
               "                        relaybox when that folder is not writable; the ports\n"
               "                        folder is created and an old link replaced)\n"
               "  --status full|split   status lines: \"/S01 GGGGGGGG OOOOCCCC 3.5\\\" (full,\n"
               "                        the default) or \"/S01 OOOOCCCC\\\" and \"/C01 3.5\\\"\n"
               "  --current AMPS        load of every bank, 0 to 99.9 (default 0)\n"
               "  --drift               a slowly drifting load per bank, within 0 to 15 A\n"
               "  --version VVVV        firmware version of every bank (default 1203); after a\n"
               "                        completed upload the build number is one higher\n"
               "  --loader              start in loader mode\n"
               "  --clock-fail          the clock has failed: \"/err\\\" after every Clock set\n"
               "                        and after every Status poll, and the clock is not set\n"
               "  --expect-image FILE   check uploaded firmware bytes against FILE (zero bytes\n"
               "                        as padding up to 20)\n"
               "  --pace                9600-baud pace both ways: one byte per 1.0417 ms\n"
               "  --silent              never answer (the host's watchdog trips)\n"
               "  -h, --help            this text\n"
               "\n"
               "Control commands, one per line on standard input; each answers\n"
               "\"OK <command>\" or \"ERROR <why>\":\n")
        + ControlCommand::help()
        + "\n"
          "Output, one line each, flushed at once; events carry the seconds since start:\n"
          "  LINK <path>                         first line\n"
          "  <t> RX <frame>                      a frame from the host, bytes outside\n"
          "                                      printable ASCII as \\xHH\n"
          "  <t> REJECT <bytes>                  a frame or bytes the switch refuses\n"
          "  <t> PORTS <bank> <letters>          port states after a change\n"
          "  <t> TIMER SET|FIRED ...             timers stored and acting\n"
          "  <t> TIMERS REPORTED <n>             after report-timers\n"
          "  <t> CLOCK SET|ERR <date> <time>     a Clock set taken or refused\n"
          "  <t> UPGRADE, LOADER PROMPT          the loader starts and prompts\n"
          "  <t> UPLOAD BEGIN                    the first firmware byte\n"
          "  <t> UPLOAD END bytes=<n> checksum=<hex> ok|mismatch at <i>|incomplete\n"
          "  <t> UPLOAD DROPPED                  drop-upload hung up\n"
          "  <t> FIRMWARE <version>              the new version after an upload\n"
          "  <t> HANGUP, REPLUG <terminal>       the cable\n"
          "  <t> STATE ...                       after the state command\n"
          "\n"
          "Replies use the switch's framing: \"/\" text backslash (\"/M3\\\", \"/V01 "
          "1203\\\").\n"
          "The loader's lines end in CR LF, its spinners in a backspace, its completion\n"
          "line \"Version 1.2.4 loaded OK\" in LF. The switch's clock starts at the host's\n"
          "local time; timers act against it.\n"
        + delays;
}

} // namespace relaybox::sim
