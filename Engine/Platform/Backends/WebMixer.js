// The engine's mixer (Mixer.cpp), compiled on its own to a small WebAssembly module
// (WebMixer.cpp), as the page's side of the browser backend runs it: on the browser's audio
// thread in an AudioWorkletProcessor, or on the page's own thread (Web.js imports this module)
// where the browser has no worklets. One class, Mixer, either way.
//
// Messages, applied in order between renders: {clip: ArrayBuffer of 16-bit stereo}, each clip
// once, in the order of its voice; [cue, voice, frame], the cues of kEngine.cue (stop, set the
// position, play). The processor is given the module's bytes when its node is made (a worklet's
// scope has no fetch, and WebKit cannot post a compiled module), outputs silence and keeps what
// arrives until the module is ready, then says 'ready'.

export class Mixer {
  // Compiles and starts the module; cue: the cue codes (kEngine.cue).
  static async create(bytes, cue) {
    const imports = {env: {emscripten_notify_memory_growth: () => {}}};
    const {instance} = await WebAssembly.instantiate(bytes, imports);
    instance.exports._initialize();
    return new Mixer(instance.exports, cue);
  }

  constructor(exports, cue) {
    this.mixer = exports;
    this.cue = cue;
    this.heap = new Int16Array(exports.memory.buffer);
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
    if (cue === this.cue.stop) mixer.web_mixer_stop(voice);
    else if (cue === this.cue.position) mixer.web_mixer_set_position(voice, frame);
    else if (cue === this.cue.play) mixer.web_mixer_play(voice);
  }

  // Mixes the next frames into two channels of floats.
  render(left, right) {
    const frames = left.length;
    const at = this.mixer.web_mixer_render(frames) >> 1;
    if (this.heap.buffer !== this.mixer.memory.buffer) this.heap = new Int16Array(this.mixer.memory.buffer);
    const samples = this.heap;
    for (let i = 0; i < frames; i++) {
      left[i] = samples[at + 2 * i] / 32768;
      right[i] = samples[at + 2 * i + 1] / 32768;
    }
  }
}

if (typeof AudioWorkletProcessor === 'function') {
  class SoundboardMixer extends AudioWorkletProcessor {
    constructor(options) {
      super();
      this.mixer = null;
      this.waiting = [];
      this.port.onmessage = (event) => {
        if (this.mixer) this.mixer.apply(event.data);
        else this.waiting.push(event.data);
      };
      const {wasm, cue} = options.processorOptions;
      Mixer.create(wasm, cue).then((mixer) => {
        for (const message of this.waiting) mixer.apply(message);
        this.waiting = null;
        this.mixer = mixer;
        this.port.postMessage('ready');
      });
    }

    process(inputs, outputs) {
      if (this.mixer) this.mixer.render(outputs[0][0], outputs[0][1]);  // else they stay silent
      return true;
    }
  }

  registerProcessor('soundboard-mixer', SoundboardMixer);
}
