#pragma once
// One sound effect loaded whole into a sound-device buffer.
// (Interface grows with the sound work; the board only plays samples.)

class KSound {
public:
    KSound();
    ~KSound();

    void playSample();                 // play from the start
    bool isPlaying();                  // true while the sound is audible
};
