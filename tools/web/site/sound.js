// The scene's sound while the stage plays: the WAV image the saver hands its
// player, decoded by the browser and looped, at the WAV's own sample rate.
// What the saver's players refuse stays silent, with validate's reason.
"use strict";

class SoundPreview {
  // button: the mute button; note: where the sound's state is said.
  constructor(button, note) {
    this.button = button;
    this.note = note;
    this.context = null;   // an AudioContext at the sound's rate
    this.gain = null;
    this.source = null;
    this.run = 0;          // the saver run the sound belongs to
    this.info = null;      // {sound, rate, note} of the scene playing
    this.playing = true;
    this.muted = false;
    try { this.muted = localStorage.getItem("snowglobe-studio-muted") === "1"; } catch (e) { /* not kept */ }
    button.onclick = () => this.mute(!this.muted);
    // Browsers start sound only after the person has used the page.
    const wake = () => this.follow();
    for (const kind of ["pointerdown", "keydown"]) document.addEventListener(kind, wake, true);
    this.showButton();
  }

  // A new run of the saver on the stage: the sound of the last one stops.
  // info: what sg_sound_note said of the scene ({sound, rate, note}).
  begin(info) {
    ++this.run;
    this.stopSource();
    this.info = info;
    this.say(info.sound === "refused" ? "silent: " + info.note : info.note);
    this.showButton();
  }

  // The saver handed its player `bytes` (null: it stopped the sound).
  async played(bytes, plays) {
    const run = this.run;
    this.stopSource();
    if (!bytes) return;
    if (!plays) {
      this.say("silent: the players refuse this WAV" + (this.info && this.info.note ? ": " + this.info.note : ""));
      return;
    }
    const rate = this.info && this.info.rate;
    let buffer;
    try {
      const context = this.contextAt(rate);
      buffer = await context.decodeAudioData(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
    } catch (e) {
      if (run === this.run)
        this.say("silent here: this browser cannot decode the WAV (" + String((e && e.message) || e) + ")" +
                 (this.info && this.info.note ? "; " + this.info.note : ""));
      return;
    }
    if (run !== this.run) return;
    this.stopSource();
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.loop = true;
    source.connect(this.gain);
    source.start();
    this.source = source;
    this.follow();
  }

  // One context per sample rate, so that the WAV plays unresampled.
  contextAt(rate) {
    const wanted = rate >= 3000 && rate <= 768000 ? rate : undefined;
    if (this.context && (wanted === undefined || this.context.sampleRate === wanted)) return this.context;
    if (this.context) this.context.close();
    this.context = new AudioContext(wanted ? { sampleRate: wanted } : {});
    this.gain = this.context.createGain();
    this.gain.gain.value = this.muted ? 0 : 1;
    this.gain.connect(this.context.destination);
    return this.context;
  }

  stopSource() {
    if (!this.source) return;
    try { this.source.stop(); } catch (e) { /* never started */ }
    this.source.disconnect();
    this.source = null;
  }

  // The stage plays or is paused.
  setPlaying(on) {
    if (on === this.playing) return;
    this.playing = on;
    this.follow();
  }

  follow() {
    if (!this.context) return;
    const on = this.playing && this.source;
    if (on && this.context.state === "suspended") this.context.resume();
    else if (!on && this.context.state === "running") this.context.suspend();
  }

  mute(on) {
    this.muted = on;
    try { localStorage.setItem("snowglobe-studio-muted", on ? "1" : "0"); } catch (e) { /* not kept */ }
    if (this.gain) this.gain.gain.value = on ? 0 : 1;
    this.showButton();
  }

  showButton() {
    this.button.textContent = this.muted ? "sound off" : "sound on";
    this.button.setAttribute("aria-pressed", this.muted ? "true" : "false");
    this.button.disabled = !this.info || this.info.sound === "none";
  }

  say(text) {
    this.note.textContent = text;
    this.note.title = text;
  }
}
