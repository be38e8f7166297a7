#include "sim/replytext.h"

#include <cmath>
#include <cstdio>

namespace relaybox::sim::replytext {

std::string framed(std::string_view text)
{
    std::string frame;
    frame.reserve(text.size() + 2);
    frame += '/';
    frame += text;
    frame += '\\';
    return frame;
}

std::string amps(double current)
{
    const long tenths = std::lround(std::fabs(current) * 10);
    char text[32];
    std::snprintf(text, sizeof text, "%s%ld.%ld", current < 0 && tenths != 0 ? "-" : "",
                  tenths / 10, tenths % 10);
    return text;
}

std::string identifyAnswer()
{
    return framed("xyz");
}

std::string loaderIdentifyAnswer()
{
    return framed("abc");
}

std::string bankCount(int banks)
{
    return framed("M" + std::to_string(banks));
}

namespace {

std::string bankWord(char letter, int bank)
{
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d", letter, bank);
    return text;
}

std::string scheduleWord(char letter, int bank, int port, int selector)
{
    char text[24];
    std::snprintf(text, sizeof text, "%c%02d%01d%01d", letter, bank, port, selector);
    return text;
}

} // namespace

std::string fullStatus(int bank, std::string_view timerLetters, std::string_view switchLetters,
                       double current)
{
    std::string text = bankWord('S', bank);
    text += ' ';
    text += timerLetters;
    text += ' ';
    text += switchLetters;
    text += ' ';
    text += amps(current);
    return framed(text);
}

std::string portLetters(int bank, std::string_view switchLetters)
{
    std::string text = bankWord('S', bank);
    text += ' ';
    text += switchLetters;
    return framed(text);
}

std::string current(int bank, double current)
{
    return framed(bankWord('C', bank) + ' ' + amps(current));
}

std::string version(int bank, std::string_view version)
{
    char text[16];
    std::snprintf(text, sizeof text, "/V%02d %4.4s\\", bank, std::string(version).c_str());
    return text;
}

std::string clockError()
{
    return framed("err");
}

std::string scheduleCleared(int bank, int port, int selector)
{
    return framed(scheduleWord('Q', bank, port, selector));
}

std::string scheduleSet(int bank, int port, int selector)
{
    return framed(scheduleWord('E', bank, port, selector));
}

std::string timerReport(char letter, int bank, int port, int selector, int hours, int minutes,
                        int seconds)
{
    char text[40];
    std::snprintf(text, sizeof text, " %03d %02d %02d", hours, minutes, seconds);
    return framed(scheduleWord(letter, bank, port, selector) + text);
}

} // namespace relaybox::sim::replytext
