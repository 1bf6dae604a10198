// The tests' ear, put into every page before its own scripts run: whatever the page connects
// to its speakers goes through a recorder on the audio thread instead, which hears exactly what
// reaches the output, render quantum by render quantum, and passes it on unchanged. A page
// that glitches (a late buffer, a stale one replayed, silence) is heard glitching here.
//
//   ear.of(context)  the ear of a context: chunks of what was heard, once started
//   ear.start(context)  forgets what was heard and records from the next quantum; a promise,
//                       kept once the audio thread has begun (a browser may deliver messages
//                       to the audio thread late, between bursts of quanta)
//   ear.sound(context)  all heard since the start, interleaved 16-bit stereo, and the context's
//                       frame of its first sample
//   ear.sixteen(v)  a clip's sample to 16 bits, as the program converts it
//   ear.always = true  every context is recorded from its first quantum, unasked
(() => {
  const Recorder = window.AudioWorkletNode;  // kept: a test may take it away from the page
  const connect = AudioNode.prototype.connect;

  // A sample to 16 bits as the program converts a clip's: rounded half to even, clipped. What
  // is heard is converted the same way, so that a page playing a clip's own samples (not the
  // program's 16 bits) is heard as the clip.
  const sixteen = (v) => {
    const x = v * 32768, r = Math.round(x);
    const even = Math.abs(x % 1) === 0.5 && r % 2 !== 0 ? r - 1 : r;
    return Math.max(-32768, Math.min(32767, even));
  };

  // Every quantum heard, as 16-bit stereo, sent eight quanta at a time with the frame of the
  // first. A quantum with nothing connected is silence.
  const processor = `
    const sixteen = ${sixteen};
    class Ear extends AudioWorkletProcessor {
      constructor() {
        super();
        this.session = 0;  // 0: not recording
        this.batch = null;
        this.port.onmessage = (event) => {
          this.session = event.data;
          this.batch = null;
          this.port.postMessage({started: this.session});
        };
      }
      process(inputs) {
        if (!this.session) return true;
        const [left, right] = inputs[0].length ? inputs[0] : [null, null];
        const frames = left ? left.length : 128;
        if (!this.batch) this.batch = {session: this.session, frames: [], samples: new Int16Array(frames * 16), at: 0};
        const b = this.batch;
        b.frames.push(currentFrame);
        for (let i = 0; i < frames; i++) {
          b.samples[b.at++] = left ? sixteen(left[i]) : 0;
          b.samples[b.at++] = right ? sixteen(right[i]) : (left ? sixteen(left[i]) : 0);
        }
        if (b.at === b.samples.length) {
          this.port.postMessage(b, [b.samples.buffer]);
          this.batch = null;
        }
        return true;
      }
    }
    registerProcessor('ear', Ear);`;
  const url = URL.createObjectURL(new Blob([processor], {type: 'text/javascript'}));

  const ears = new Map();
  function of(context) {
    let ear = ears.get(context);
    if (ear) return ear;
    const input = context.createGain();  // at gain 1: the samples pass unchanged
    connect.call(input, context.destination);
    ear = {input, chunks: [], node: null, session: 0};
    ear.ready = context.audioWorklet.addModule(url).then(() => {
      ear.node = new Recorder(context, 'ear', {
        numberOfInputs: 1, numberOfOutputs: 0, channelCount: 2, channelCountMode: 'explicit',
      });
      ear.node.port.onmessage = (event) => {
        if (event.data.started === ear.session) ear.started?.();
        else if (event.data.session === ear.session) ear.chunks.push(event.data);
      };
      connect.call(input, ear.node);
      if (window.ear.always) ear.node.port.postMessage(++ear.session);
    });
    ears.set(context, ear);
    return ear;
  }

  AudioNode.prototype.connect = function (target, ...rest) {
    if (target instanceof AudioDestinationNode) {
      connect.call(this, of(target.context).input, ...rest);
      return target;
    }
    return connect.call(this, target, ...rest);
  };

  window.ear = {
    of,
    sixteen,
    start: (context) => {
      const ear = of(context);
      return ear.ready.then(() => new Promise((started) => {
        ear.chunks = [];
        ear.started = started;
        ear.node.port.postMessage(++ear.session);
      }));
    },
    // Each quantum where the context's clock puts it: a quantum the ear was not given (which
    // happens only as a context starts) is silence.
    sound: (context) => {
      const chunks = of(context).chunks;
      if (!chunks.length) return {samples: new Int16Array(0), frame: 0};
      const first = chunks[0].frames[0], last = chunks.at(-1);
      const quantum = last.samples.length / 2 / 8;
      const all = new Int16Array((last.frames.at(-1) + quantum - first) * 2);
      for (const chunk of chunks) {
        chunk.frames.forEach((frame, i) => {
          all.set(chunk.samples.subarray(i * quantum * 2, (i + 1) * quantum * 2), (frame - first) * 2);
        });
      }
      return {samples: all, frame: first};
    },
  };
})();
