// The browser's audio thread: an AudioWorkletProcessor running the engine's mixer, compiled
// on its own (WebMixer.cpp). The page (Web.js) hands over the module's bytes when it makes the
// node, then posts each clip once and every cue; they are applied in order, between renders.
// Until the module is ready, the processor outputs silence and keeps what arrives.
//
// Messages: {clip: ArrayBuffer of 16-bit stereo} | [cue, voice, frame], cue 0 stop,
// 1 set position, 2 play. Sends 'ready' once it mixes.
//
// A worklet's scope has no fetch, atob or TextDecoder, and WebKit cannot post a compiled
// module: the bytes come whole and are compiled here.

const kStop = 0, kPosition = 1, kPlay = 2;

class SoundboardMixer extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.mixer = null;
    this.waiting = [];
    this.port.onmessage = (event) => {
      if (this.mixer) this.apply(event.data);
      else this.waiting.push(event.data);
    };
    const imports = {env: {emscripten_notify_memory_growth: () => {}}};
    WebAssembly.instantiate(options.processorOptions.wasm, imports).then(({instance}) => {
      instance.exports._initialize();
      this.mixer = instance.exports;
      this.heap = new Int16Array(this.mixer.memory.buffer);
      for (const message of this.waiting) this.apply(message);
      this.waiting = null;
      this.port.postMessage('ready');
    });
  }

  apply(message) {
    const mixer = this.mixer;
    if (message.clip) {
      const samples = new Int16Array(message.clip);
      const frames = samples.length / 2;
      const at = mixer.web_mixer_clip(frames);
      if (at) new Int16Array(mixer.memory.buffer).set(samples, at >> 1);
      mixer.web_mixer_add(at, frames);
      return;
    }
    const [cue, voice, frame] = message;
    if (cue === kStop) mixer.web_mixer_stop(voice);
    else if (cue === kPosition) mixer.web_mixer_set_position(voice, frame);
    else if (cue === kPlay) mixer.web_mixer_play(voice);
  }

  process(inputs, outputs) {
    if (!this.mixer) return true;  // the outputs start silent
    const [left, right] = outputs[0];
    const frames = left.length;
    const at = this.mixer.web_mixer_render(frames) >> 1;
    if (this.heap.buffer !== this.mixer.memory.buffer) this.heap = new Int16Array(this.mixer.memory.buffer);
    const samples = this.heap;
    for (let i = 0; i < frames; i++) {
      left[i] = samples[at + 2 * i] / 32768;
      right[i] = samples[at + 2 * i + 1] / 32768;
    }
    return true;
  }
}

registerProcessor('soundboard-mixer', SoundboardMixer);
