// The page's sound output, the browser side of the sound layer
// (src/sound/web/web_back_end.cpp), which reaches it as Module.sound.
//
// Browsers start audio only after a key or a tap, so the AudioContext is
// made at the player's first one (unlock); until then the layer's calls are
// kept track of and nothing is heard, and the game never waits for it. The
// music line is either the tracker module, rendered by the game's module a
// chunk at a time and queued a little ahead, or a decoded file played once.
// Effects play on numbered channels. Both lines end in a gain node of their
// own (musicBus, effectBus), where the tests listen.

const ChunkFrames = 2048;   // about 46 ms a chunk at 44.1 kHz
const Ahead = 0.25;         // seconds of music queued ahead of the output
const PumpMs = 40;

export class SoundOut {
  constructor() {
    this.context = null;
    this.rate = 44100;
    this.render = null;           // (frames, rate) => Float32Array of frames x 2, or null
    this.sounds = new Map();      // id => AudioBuffer
    this.nextId = 1;
    this.channels = new Map();    // channel => playing AudioBufferSourceNode
    this.music = null;            // 'module', or an id, or null
    this.musicSources = [];
    this.queuedUntil = 0;
    this.pump = null;
    this.lastEffectAt = null;     // performance.now() of the last effect asked for
    this.paused = false;          // the layer's pause and mute (hold)
    this.muted = false;
  }

  // Called by the page at the player's first key or tap, and again at any
  // later one in case the browser suspended the output meanwhile.
  unlock() {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context || this.unavailable) return;
    if (!this.context) {
      // The smallest output buffer the device allows: the crash is heard
      // at once after the hit.
      try {
        this.context = new Context({ sampleRate: this.rate, latencyHint: 0 });
      } catch (e) {
        // No output at this rate (or at all): the game plays on in silence.
        console.warn(`no sound: ${e.message || e}`);
        this.unavailable = true;
        return;
      }
      this.musicBus = this.context.createGain();
      this.effectBus = this.context.createGain();
      this.musicBus.connect(this.context.destination);
      this.effectBus.connect(this.context.destination);
      this.startMusicLine();
      if (this.paused || this.muted) this.applyHold();
    }
    if (this.context.state === 'suspended' && !this.paused) this.context.resume();
  }

  get running() { return this.context !== null && this.context.state === 'running'; }

  // --- the layer's calls ---------------------------------------------------

  open(rate, render) {
    if (!this.context) this.rate = rate;
    this.render = render;
  }

  close() {
    this.musicStop();
    this.stopChannels();
    this.sounds.clear();
  }

  async decode(bytes) {
    try {
      // An offline context decodes without waiting for the player's key.
      const decoder = new OfflineAudioContext(2, 1, this.rate);
      const buffer = await decoder.decodeAudioData(bytes.buffer);
      const id = this.nextId++;
      this.sounds.set(id, buffer);
      return id;
    } catch (e) {
      return 0;
    }
  }

  seconds(id) { return this.sounds.get(id)?.duration ?? 0; }

  free(id) { this.sounds.delete(id); }

  playOnChannel(id, channel) {
    this.lastEffectAt = performance.now();
    this.stopChannel(channel);
    const buffer = this.sounds.get(id);
    if (!buffer || !this.running) return;
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.connect(this.effectBus);
    source.onended = () => { if (this.channels.get(channel) === source) this.channels.delete(channel); };
    this.channels.set(channel, source);
    source.start();
  }

  stopChannel(channel) {
    const source = this.channels.get(channel);
    if (source) source.stop();
    this.channels.delete(channel);
  }

  stopChannels() {
    for (const channel of [...this.channels.keys()]) this.stopChannel(channel);
  }

  musicFromModule() {
    this.musicStop();
    this.music = 'module';
    this.startMusicLine();
  }

  musicFromSound(id) {
    this.musicStop();
    this.music = id;
    this.startMusicLine();
  }

  // Paused, the whole output holds where it is (the music, the effects and
  // their clock); muted, it plays on unheard. Kept until changed, from
  // before the output exists on.
  hold(paused, muted) {
    this.paused = paused;
    this.muted = muted;
    if (this.context) this.applyHold();
  }

  applyHold() {
    this.musicBus.gain.value = this.muted ? 0 : 1;
    this.effectBus.gain.value = this.muted ? 0 : 1;
    if (this.paused) this.context.suspend();
    else this.context.resume();
  }

  musicStop() {
    this.music = null;
    clearInterval(this.pump);
    this.pump = null;
    for (const source of this.musicSources) source.stop();
    this.musicSources = [];
  }

  // --- the music line --------------------------------------------------------

  startMusicLine() {
    if (!this.context || this.music === null || this.pump !== null) return;
    if (this.music === 'module') {
      this.queuedUntil = 0;
      this.pump = setInterval(() => this.queueModule(), PumpMs);
      this.queueModule();
    } else {
      const buffer = this.sounds.get(this.music);
      if (!buffer) return;
      const source = this.context.createBufferSource();
      source.buffer = buffer;
      source.connect(this.musicBus);
      source.start();
      this.musicSources.push(source);
      this.pump = 0;  // started; nothing to queue
    }
  }

  // Keeps Ahead seconds of the module queued, chunk after chunk, each
  // starting exactly where the one before ends. After a stall (a hidden
  // tab) the queue starts again from now rather than in the past.
  queueModule() {
    if (!this.running || this.music !== 'module' || !this.render) return;
    const context = this.context;
    if (this.queuedUntil < context.currentTime) this.queuedUntil = context.currentTime + 0.02;
    this.musicSources = this.musicSources.filter((s) => s.endsAt > context.currentTime);
    while (this.queuedUntil < context.currentTime + Ahead) {
      const frames = this.render(ChunkFrames, context.sampleRate);
      if (!frames) return;
      const chunk = context.createBuffer(2, ChunkFrames, context.sampleRate);
      const left = chunk.getChannelData(0), right = chunk.getChannelData(1);
      for (let i = 0; i < ChunkFrames; i++) {
        left[i] = frames[2 * i];
        right[i] = frames[2 * i + 1];
      }
      const source = context.createBufferSource();
      source.buffer = chunk;
      source.connect(this.musicBus);
      source.start(this.queuedUntil);
      this.queuedUntil += chunk.duration;
      source.endsAt = this.queuedUntil;
      this.musicSources.push(source);
    }
  }
}
