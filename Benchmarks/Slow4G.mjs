// A slow mobile network in front of a server, as Lighthouse's mobile profile has it: one pipe
// of 1.6 Mbit/s down and 750 kbit/s up for every connection together, shared packet by packet
// as a phone's link shares it, each packet a half round trip of 150 ms late, and a round trip
// more before a new connection carries anything (its handshake). A TCP proxy: whatever speaks
// through it (pages, the service worker, a second tab) shares the one pipe.
//
//   const net = await slow4g(port)   net.port to connect to; net.bytesDown, net.close()
import netModule from 'node:net';

export const kSlow4G = { downBytesPerSecond: 1.6e6 / 8, upBytesPerSecond: 750e3 / 8, roundTripMs: 150 };
const kPacket = 1460;
const kTickMs = 4;

// One direction of the pipe: queues by connection, served a packet at a time in turn, each
// packet delivered a half round trip after it has gone through.
class Pipe {
  constructor(bytesPerSecond, delayMs) {
    this.rate = bytesPerSecond / 1000;  // bytes a millisecond
    this.delay = delayMs;
    this.queues = new Map();  // socket: [packets]
    this.flying = new Map();  // socket: packets gone through, not yet delivered
    this.drained = new Map();  // socket: what to do once nothing of it is left
    this.credit = 0;
    this.bytes = 0;
    this.last = performance.now();
    this.timer = setInterval(() => this.tick(), kTickMs);
  }

  send(socket, chunk) {
    for (let at = 0; at < chunk.length; at += kPacket) {
      if (!this.queues.has(socket)) this.queues.set(socket, []);
      this.queues.get(socket).push(chunk.subarray(at, at + kPacket));
    }
  }

  tick() {
    const now = performance.now();
    this.credit = Math.min(this.credit + (now - this.last) * this.rate, kPacket * 64);
    this.last = now;
    // A packet from each connection in turn: the one served first goes to the back.
    while (this.credit > 0 && this.queues.size) {
      for (const [socket, packets] of this.queues) {
        const packet = packets.shift();
        this.queues.delete(socket);
        if (packets.length) this.queues.set(socket, packets);
        this.credit -= packet.length;
        this.bytes += packet.length;
        this.flying.set(socket, (this.flying.get(socket) ?? 0) + 1);
        setTimeout(() => {
          if (!socket.destroyed) socket.write(packet);
          this.flying.set(socket, this.flying.get(socket) - 1);
          this.check(socket);
        }, this.delay);
        if (this.credit <= 0) break;
      }
    }
    if (!this.queues.size) this.credit = Math.min(this.credit, kPacket);
  }

  // Calls `then` once nothing of the socket's is queued or on its way.
  after(socket, then) {
    this.drained.set(socket, then);
    this.check(socket);
  }

  check(socket) {
    const then = this.drained.get(socket);
    if (then && !this.queues.has(socket) && !this.flying.get(socket)) {
      this.drained.delete(socket);
      then();
    }
  }

  close() { clearInterval(this.timer); }
}

export function slow4g(targetPort, profile = kSlow4G) {
  const half = profile.roundTripMs / 2;
  const down = new Pipe(profile.downBytesPerSecond, half), up = new Pipe(profile.upBytesPerSecond, half);
  const sockets = new Set();
  const server = netModule.createServer((client) => {
    const upstream = netModule.connect(targetPort, '127.0.0.1');
    sockets.add(client).add(upstream);
    const open = performance.now() + profile.roundTripMs;  // the handshake
    client.on('data', (chunk) => {
      const wait = open - performance.now();
      if (wait > 0) setTimeout(() => up.send(upstream, chunk), wait);
      else up.send(upstream, chunk);
    });
    upstream.on('data', (chunk) => down.send(client, chunk));
    const end = () => { client.destroy(); upstream.destroy(); };
    client.on('close', end).on('error', end);
    upstream.on('end', () => down.after(client, () => client.end())).on('error', end);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({
    port: server.address().port,
    get bytesDown() { return down.bytes; },
    close: () => new Promise((done) => {
      for (const socket of sockets) socket.destroy();
      down.close();
      up.close();
      server.close(done);
    }),
  })));
}
