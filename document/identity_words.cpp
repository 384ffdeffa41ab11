#include "document/identity_words.h"

#include <cstdlib>
#include <numeric>

namespace cellarium {

namespace {

std::string Cells(int64_t n) {
    return std::to_string(n) + (n == 1 ? " cell" : " cells");
}

// "population 5" or "population 3 to 6", then the box.
std::string PopulationAndBox(const Identity& id) {
    std::string text = "population " + std::to_string(id.minPopulation);
    if (id.maxPopulation != id.minPopulation) text += " to " + std::to_string(id.maxPopulation);
    return text + ", " + std::to_string(id.width) + " x " + std::to_string(id.height) + " cells.";
}

// The speed as a fraction of c: "c/4", "2c/5", "c"; oblique "(2,1)c/6".
std::string Speed(int64_t ax, int64_t ay, int64_t period) {
    if (ax != 0 && ay != 0 && ax != ay)
        return "(" + std::to_string(std::max(ax, ay)) + "," + std::to_string(std::min(ax, ay)) +
               ")c/" + std::to_string(period);
    const int64_t d = std::max(ax, ay);
    const int64_t g = std::gcd(d, period);
    const int64_t num = d / g, den = period / g;
    std::string text = num == 1 ? "c" : std::to_string(num) + "c";
    if (den != 1) text += "/" + std::to_string(den);
    return text;
}

std::string Direction(int64_t dx, int64_t dy) {
    std::string text;
    if (dy != 0) text = Cells(std::llabs(dy)) + (dy < 0 ? " up" : " down");
    if (dx != 0) {
        if (!text.empty()) text += " and ";
        text += Cells(std::llabs(dx)) + (dx < 0 ? " left" : " right");
    }
    return text;
}

}  // namespace

std::string IdentityWords(const Identity& id) {
    using Kind = Identity::Kind;
    switch (id.kind) {
        case Kind::Empty:
            return "The board is empty.";
        case Kind::None:
            return "No repeat within " + std::to_string(id.limit) + " generations.";
        case Kind::StillLife:
            return "Still life, " + PopulationAndBox(id);
        case Kind::Oscillator:
            return "Oscillator, period " + std::to_string(id.period) + ", " + PopulationAndBox(id);
        case Kind::Spaceship: {
            const int64_t ax = std::llabs(id.dx), ay = std::llabs(id.dy);
            const std::string way = ax == ay ? Cells(ax) + " diagonally" : Direction(id.dx, id.dy);
            return "Spaceship, period " + std::to_string(id.period) + ", moving " + way +
                   " every " + std::to_string(id.period) + " generations (" +
                   Speed(ax, ay, id.period) + "), " + PopulationAndBox(id);
        }
    }
    return {};
}

}  // namespace cellarium
