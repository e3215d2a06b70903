// The scene's sound on SDL audio: a WAV file image played from the package's
// memory, looping until stopped, as sndPlaySoundA plays one. The engine hands
// over only a pointer, so the image's length is taken from its RIFF header and
// cut to the bytes the package really has after that pointer.
//
// Audio is opened only when the scene has a sound to play. Without a sound
// card, ALSA's library (which SDL loads) prints its failures to standard
// error before SDL moves on: its error handler is set to a silent one first.
#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "format/wav_rules.h"
#include "platform/sdl/sdl_host.h"

namespace pf::sdl {

namespace {

struct Playback {
    SDL_AudioDeviceID device = 0;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    Uint32 position = 0;  // touched by the audio thread only while the device runs
    bool loop = false;
    Uint8 silence = 0;
    SDL_atomic_t finished{};
};

Playback playback;

extern "C" void silent_alsa_error(const char*, int, const char*, int, const char*, ...) {}

// The library stays loaded: SDL opens the same one, with the handler set.
void quiet_alsa() {
    static bool done = false;
    if (done) return;
    done = true;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return;  // no ALSA, no noise
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set) set(silent_alsa_error);
}

void SDLCALL fill(void* user, Uint8* stream, int len) {
    auto* p = static_cast<Playback*>(user);
    Uint32 want = static_cast<Uint32>(len);
    while (want > 0) {
        if (p->position >= p->length) {
            if (!p->loop) {
                std::memset(stream, p->silence, want);
                SDL_AtomicSet(&p->finished, 1);
                return;
            }
            p->position = 0;
        }
        Uint32 n = std::min(want, p->length - p->position);
        std::memcpy(stream, p->buffer + p->position, n);
        p->position += n;
        stream += n;
        want -= n;
    }
}

// Bytes of the package from address on; 0 when the address is not inside it.
std::size_t package_bytes_from(const std::uint8_t* address) {
    HRSRC found = pf::FindResourceA(nullptr, pf::MAKEINTRESOURCEA(103), "KAVREN");
    if (!found) return 0;
    auto* base = static_cast<const std::uint8_t*>(pf::LockResource(pf::LoadResource(nullptr, found)));
    std::size_t size = pf::SizeofResource(nullptr, found);
    if (!base || address < base || address >= base + size) return 0;
    return size - static_cast<std::size_t>(address - base);
}

bool playing() { return playback.device != 0 && SDL_AtomicGet(&playback.finished) == 0; }

void stop() {
    if (playback.device) SDL_CloseAudioDevice(playback.device);  // waits for the callback
    if (playback.buffer) SDL_FreeWAV(playback.buffer);
    playback.device = 0;
    playback.buffer = nullptr;
    playback.length = 0;
    playback.position = 0;
}

}  // namespace

void sound(const void* wav, UINT flags) {
    if (!wav) {
        stop();
        return;
    }
    // SND_NOSTOP: a sound that is still playing wins over the new one.
    if ((flags & SND_NOSTOP) && playing()) return;
    stop();
    if (!(flags & SND_MEMORY)) return;  // only images in memory are ever passed

    auto* image = static_cast<const std::uint8_t*>(wav);
    // A chunk claiming more than is there stays silent, as Windows' player does.
    const std::size_t available = std::min<std::size_t>(package_bytes_from(image), 0x7FFFFFFF);
    if (!sg::format::wav_plays(image, available)) return;
    const auto total = static_cast<std::size_t>(sg::format::wav_riff_bytes(image));

    quiet_alsa();
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SDL_AudioSpec format{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(image, static_cast<int>(total)), 1, &format, &buffer, &length))
        return;
    if (length == 0) {
        SDL_FreeWAV(buffer);
        return;
    }
    playback.buffer = buffer;
    playback.length = length;
    playback.position = 0;
    playback.loop = (flags & SND_LOOP) != 0;
    playback.silence = format.silence;
    SDL_AtomicSet(&playback.finished, 0);
    format.callback = fill;
    format.userdata = &playback;
    playback.device = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
    if (!playback.device) {
        stop();
        return;
    }
    SDL_PauseAudioDevice(playback.device, 0);
    if (!(flags & SND_ASYNC) && !playback.loop) {
        while (playing()) SDL_Delay(10);
        stop();
    }
}

void sound_shutdown() {
    stop();
    if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace pf::sdl
