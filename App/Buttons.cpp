#include "App/Buttons.h"

const SoundboardButton kSoundboardButtons[kSoundboardButtonCount] = {
    {"Theme", 85, 100, 0, "Theme.wav"},    {"Die", 250, 310, 1, "Die.wav"},
    {"Kart", 160, 100, 2, "KartTheme.wav"}, {"Shroom", 85, 240, 3, "Shroom.wav"},
    {"Coin", 10, 240, 4, "Coin.wav"},       {"Warning", 20, 380, 5, "Warning.wav"},
    {"Clear", 95, 380, 5, "Clear.wav"},     {"1Up", 50, 178, 6, "1_Up.wav"},
    {"Jump", 170, 380, 7, "Jump.wav"},
};
