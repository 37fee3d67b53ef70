#include "database/RunLengthCodec.h"

#include <algorithm>
#include <cstring>

#include "database/ByteStream.h"

namespace ferrovel {
namespace {

std::uint8_t readSourceByte(RunLengthDecoder& decoder) {
    const int c = std::getc(decoder.source);
    if (c == EOF) {
        decoder.sourceEnded = true;
        return 0xFF;
    }
    return static_cast<std::uint8_t>(c);
}

// Reads a control byte and sets up its packet.
void startPacket(RunLengthDecoder& decoder) {
    const std::uint8_t control = readSourceByte(decoder);
    decoder.remaining = (control >> 1) + 1;
    if (control & 1) {
        decoder.saved = readSourceByte(decoder);
        decoder.state = RunLengthDecoder::State::Repeat;
    } else {
        decoder.state = RunLengthDecoder::State::Literal;
    }
}

void finishBytes(RunLengthDecoder& decoder, int count) {
    decoder.remaining -= count;
    if (decoder.remaining == 0) decoder.state = RunLengthDecoder::State::ExpectControl;
}

}  // namespace

void beginDecode(RunLengthDecoder& decoder, std::FILE* source) {
    decoder = RunLengthDecoder{};
    decoder.source = source;
}

std::uint8_t nextByte(RunLengthDecoder& decoder) {
    if (decoder.state == RunLengthDecoder::State::ExpectControl) startPacket(decoder);
    const std::uint8_t value =
        decoder.state == RunLengthDecoder::State::Repeat ? decoder.saved : readSourceByte(decoder);
    finishBytes(decoder, 1);
    return value;
}

void decodeBytes(RunLengthDecoder& decoder, std::uint8_t* out, std::size_t count) {
    while (count > 0) {
        if (decoder.state == RunLengthDecoder::State::ExpectControl) startPacket(decoder);
        const int chunk = static_cast<int>(
            std::min<std::size_t>(count, static_cast<std::size_t>(decoder.remaining)));
        if (decoder.state == RunLengthDecoder::State::Repeat) {
            std::memset(out, decoder.saved, static_cast<std::size_t>(chunk));
        } else {
            const std::size_t got = readBytes(decoder.source, out, static_cast<std::size_t>(chunk));
            if (got < static_cast<std::size_t>(chunk)) decoder.sourceEnded = true;
        }
        finishBytes(decoder, chunk);
        out += chunk;
        count -= static_cast<std::size_t>(chunk);
    }
}

bool decoderExhausted(const RunLengthDecoder& decoder) {
    if (!decoder.sourceEnded) return false;
    return decoder.state != RunLengthDecoder::State::Repeat || decoder.saved == 0xFF;
}

void endDecode(RunLengthDecoder& decoder) {
    decoder.source = nullptr;
}

}  // namespace ferrovel
