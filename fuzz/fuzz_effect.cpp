// libFuzzer target for the effect-file reader's checking step. Beyond "no crash", it holds the
// reader to its promises: exactly one of effect or error, a speed within the bar's range, and a
// file that passes reads back unchanged after being written out again.

#include "effects/EffectFile.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const EffectParseResult result = parseEffect(bytes, QStringLiteral("fuzz.eff"));
    check(result.effect.has_value() == result.error.isEmpty());
    if (!result.effect) {
        check(result.error.contains(QStringLiteral("fuzz.eff")));
        return 0;
    }
    const Effect& effect = *result.effect;
    check(size <= size_t(MaxEffectFileSize));
    if (effect.grid.speed())
        check(*effect.grid.speed() >= SpeedMin && *effect.grid.speed() <= SpeedMax);

    Module1 module;
    const QByteArray written = writeEffect(effect.grid, module);
    check(module.rowPattern == QStringLiteral("000000000000"));
    const EffectParseResult again = parseEffect(written, QStringLiteral("again.eff"));
    check(again.effect.has_value());
    check(again.effect->grid == effect.grid);
    check(writeEffect(again.effect->grid, module) == written);
    return 0;
}
