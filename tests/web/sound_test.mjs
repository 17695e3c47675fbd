// The page's sound output (src/launch/web/page/sound.js) over a stand-in for Web
// Audio whose clock the test moves: the module's chunks follow each other
// without gap or overlap, a stall starts the queue afresh from now,
// stopping silences everything queued, and pause and mute hold.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';

class FakeNode {
  connect() {}
}

class FakeSource extends FakeNode {
  constructor(context) {
    super();
    this.context = context;
    context.sources.push(this);
  }
  start(when = 0) { this.startedAt = Math.max(when, this.context.currentTime); }
  stop() { this.stopped = true; }
}

class FakeContext {
  constructor({ sampleRate }) {
    this.sampleRate = sampleRate;
    this.currentTime = 0;
    this.state = 'running';
    this.sources = [];
    this.destination = new FakeNode();
  }
  createGain() { return Object.assign(new FakeNode(), { gain: { value: 1 } }); }
  createBufferSource() { return new FakeSource(this); }
  createBuffer(channels, frames, rate) {
    const data = Array.from({ length: channels }, () => new Float32Array(frames));
    return { duration: frames / rate, getChannelData: (c) => data[c] };
  }
  resume() { this.state = 'running'; }
  suspend() { this.state = 'suspended'; }
}

globalThis.window = { AudioContext: FakeContext };
// The page's module, as the browser takes it (Node 18 reads a .js file
// outside a "type": "module" package as CommonJS).
const text = fs.readFileSync(new URL('../../src/launch/web/page/sound.js', import.meta.url), 'utf8');
const { SoundOut } = await import(`data:text/javascript;base64,${Buffer.from(text).toString('base64')}`);

function playingModule() {
  const sound = new SoundOut();
  let rendered = 0;
  sound.open(44100, (frames) => {
    rendered += frames;
    return new Float32Array(2 * frames).fill(0.25);
  });
  sound.musicFromModule();
  sound.unlock();
  clearInterval(sound.pump);  // the test moves the clock and pumps by hand
  return { sound, context: sound.context, rendered: () => rendered };
}

test('the module is queued chunk after chunk, without gap or overlap, a little ahead', () => {
  const { sound, context, rendered } = playingModule();
  for (let t = 0; t < 3; t += 0.04) {
    context.currentTime = t;
    sound.queueModule();
  }
  const chunks = context.sources.filter((s) => s.buffer).sort((a, b) => a.startedAt - b.startedAt);
  for (let i = 1; i < chunks.length; i++)
    assert.ok(Math.abs(chunks[i].startedAt - (chunks[i - 1].startedAt + chunks[i - 1].buffer.duration)) < 1e-9, `chunk ${i}`);
  const queuedUntil = chunks.at(-1).startedAt + chunks.at(-1).buffer.duration;
  assert.ok(queuedUntil >= 2.96 + 0.25 && queuedUntil < 2.96 + 0.25 + 0.05, `${queuedUntil}`);
  assert.equal(rendered(), chunks.length * 2048);
});

test('after a stall the queue starts again from now, and stopping silences it', () => {
  const { sound, context } = playingModule();
  sound.queueModule();
  context.currentTime = 5;  // a hidden tab: nothing was pumped for seconds
  sound.queueModule();
  const late = context.sources.filter((s) => s.startedAt >= 5);
  assert.ok(late.length > 0 && Math.min(...late.map((s) => s.startedAt)) >= 5);
  sound.musicStop();
  assert.ok(context.sources.filter((s) => s.startedAt >= 5).every((s) => s.stopped));
  const before = context.sources.length;
  sound.queueModule();
  assert.equal(context.sources.length, before, 'nothing is queued once stopped');
});

test('effects wait for the unlock, and a channel plays one effect at a time', async () => {
  const sound = new SoundOut();
  sound.open(44100, () => null);
  sound.sounds.set(7, { duration: 1 });
  sound.playOnChannel(7, 0);
  assert.equal(sound.channels.size, 0, 'nothing plays before the first key');
  sound.unlock();
  sound.playOnChannel(7, 0);
  const first = sound.channels.get(0);
  sound.playOnChannel(7, 0);
  assert.ok(first.stopped);
  assert.notEqual(sound.channels.get(0), first);
  sound.close();
  assert.equal(sound.channels.size, 0);
});

test('pause holds the whole output, from before the first key and through later ones; mute silences both lines', () => {
  const sound = new SoundOut();
  sound.open(44100, () => null);
  sound.hold(true, false);
  sound.unlock();
  const context = sound.context;
  assert.equal(context.state, 'suspended', 'paused before the output existed');
  sound.unlock();
  assert.equal(context.state, 'suspended', 'a key does not end the pause');
  sound.hold(false, true);
  assert.equal(context.state, 'running');
  assert.deepEqual([sound.musicBus.gain.value, sound.effectBus.gain.value], [0, 0]);
  sound.hold(false, false);
  assert.deepEqual([sound.musicBus.gain.value, sound.effectBus.gain.value], [1, 1]);
});
