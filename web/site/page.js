// The page: a terminal (xterm.js) with a terminal's line discipline (xterm-pty)
// in front of the game's engine (dusk.js, the game compiled to WebAssembly).
//
// The engine asks for input through readTyped() and waits only when all that
// was typed has been read; it hands its output over at every flush, so a screen is
// whole before the game waits. When a game ends, the page says so and offers a
// new one, from the title, with the generator starting over.
//
// window.dusk is for tests and anyone scripting the page (see web/README.md).
(() => {
  "use strict";

  // The engine's module has been compiling since dusk-module.js ran; its game
  // starts only after this script has run, as every step of its start is
  // asynchronous.
  const engine = createDuskEngine({
    instantiateWasm(imports, receiveInstance) {
      self.duskModule
        .then((module) => WebAssembly.instantiate(module, imports))
        .then((instance) => receiveInstance(instance));
      return {};
    },
    page: { read: readTyped, write: showOutput, ended: gameEnded },
  });

  const terminalElement = document.getElementById("terminal");
  const statusElement = document.getElementById("status");
  const newGameButton = document.getElementById("new-game");

  const terminal = new Terminal({
    screenReaderMode: true,
    scrollback: 10000,
    cursorBlink: false,
    fontFamily: "monospace",
    fontSize: 16,
  });
  const fit = new FitAddon.FitAddon();
  terminal.loadAddon(fit);
  terminal.open(terminalElement);
  fit.fit();
  new ResizeObserver(() => fit.fit()).observe(terminalElement);

  // Ctrl-C with text selected copies it, as in a terminal window; the game
  // itself has no use for the key.
  terminal.attachCustomKeyEventHandler(
    (event) => !(event.ctrlKey && event.key === "c" && terminal.hasSelection()),
  );

  // Keys that send escape sequences (arrows, Home, F1, Alt with a letter...)
  // mean nothing to the game: they are dropped before the line discipline,
  // which would otherwise echo them as ^[[A and hand them to the game.
  const escapeSequence = /\x1b(?:\[[\x30-\x3f]*[\x20-\x2f]*[\x40-\x7e]|O[\s\S]|[\s\S])?/g;

  // --- the game's state, as window.dusk shows it ------------------------------

  const dusk = {
    output: "",
    waits: 0,
    ended: false,
    status: null,
    terminal,
    type,
    newGame,
    settled,
    shown,
    screen,
  };

  // Lines the line discipline has handed over and the game has not read yet,
  // as arrays of bytes; an empty one is the end of the input (Ctrl-D).
  let lines = [];
  let wakeReader = null;
  let startNextGame = null;
  let restarting = false;
  let pty = null;
  let unwritten = 0;
  const settledWaiters = [];
  const drainedWaiters = [];

  // --- the terminal's line discipline ------------------------------------------

  // Each game gets a pty of its own, so no half-typed line carries over.
  function openGamePty() {
    if (pty) pty.dispose();
    const { master, slave } = openpty();
    const termios = slave.ioctl("TCGETS");
    // No signals (Ctrl-C, Ctrl-Z) and no flow control (Ctrl-S): there is no
    // process to stop here, and a frozen page would only puzzle the player.
    slave.ioctl(
      "TCSETS",
      new Termios(
        termios.iflag & ~Flags.IXON,
        termios.oflag,
        termios.cflag,
        termios.lflag & ~Flags.ISIG,
        termios.cc,
      ),
    );
    slave.onReadable(() => {
      lines.push(slave.read());
      wake();
    });
    // The master's side is connected by hand rather than as an addon, to drop
    // escape sequences on the way in and to know when its writes are drawn.
    master.activate({
      write: (data, callback) => writeToScreen(data, callback),
      onData: (listener) =>
        terminal.onData((data) => listener(data.replace(escapeSequence, ""))),
      onBinary: (listener) => terminal.onBinary(listener),
      onResize: (listener) => terminal.onResize(listener),
    });
    pty = { slave, dispose: () => master.dispose() };
  }

  // xterm.js parses asynchronously, and the pty sends its next piece only when
  // the last one is parsed: counting the pieces in flight tells when all the
  // game printed is on screen.
  function writeToScreen(data, callback) {
    unwritten++;
    terminal.write(data, () => {
      callback();
      if (--unwritten === 0) release(drainedWaiters);
    });
  }

  function release(waiters) {
    for (const resolve of waiters.splice(0)) resolve();
  }

  function wake() {
    if (!wakeReader) return;
    const resolve = wakeReader;
    wakeReader = null;
    resolve();
  }

  // --- what the engine calls ---------------------------------------------------

  // Resolves to the next bytes typed, at most `size` of them; an empty array
  // at the end of the input.
  async function readTyped(size) {
    if (lines.length === 0) {
      dusk.waits++;
      const typed = new Promise((resolve) => {
        wakeReader = resolve;
      });
      release(settledWaiters);
      await typed;
    }
    const line = lines[0];
    if (line.length <= size) return lines.shift();
    return line.splice(0, size);
  }

  function showOutput(bytes) {
    // One character a byte: the game's texts are plain ASCII, and this keeps
    // `output` exact whatever it prints.
    for (let start = 0; start < bytes.length; start += 8192) {
      dusk.output += String.fromCharCode.apply(null, bytes.subarray(start, start + 8192));
    }
    pty.slave.write(Array.from(bytes));
  }

  // Resolves when the player asks for a new game.
  function gameEnded(status) {
    if (restarting) {
      restarting = false;
      beginGame();
      return Promise.resolve();
    }
    dusk.ended = true;
    dusk.status = status;
    statusElement.textContent = "The game has ended.";
    newGameButton.hidden = false;
    newGameButton.focus();
    release(settledWaiters);
    return new Promise((resolve) => {
      startNextGame = resolve;
    });
  }

  function beginGame() {
    lines = [];
    dusk.output = "";
    dusk.waits = 0;
    dusk.ended = false;
    dusk.status = null;
    statusElement.textContent = "";
    newGameButton.hidden = true;
    if (pty) terminal.reset();
    openGamePty();
    terminal.focus();
  }

  // --- window.dusk -------------------------------------------------------------

  // Sends one line, as if typed and Enter pressed.
  function type(line) {
    terminal.input(line + "\r");
  }

  // Starts a new game from the title. A game in progress is ended first, as
  // if its input had ended.
  function newGame() {
    if (dusk.ended) {
      const start = startNextGame;
      startNextGame = null;
      beginGame();
      start();
    } else {
      restarting = true;
      lines.push([]);
      wake();
    }
    return settled();
  }

  // Resolves when the game waits for the player or has ended.
  function settled() {
    if (dusk.ended || (wakeReader && lines.length === 0)) return Promise.resolve();
    return new Promise((resolve) => settledWaiters.push(resolve));
  }

  // Resolves when the game waits or has ended, with all it printed on screen.
  async function shown() {
    await settled();
    if (unwritten > 0) await new Promise((resolve) => drainedWaiters.push(resolve));
  }

  // The terminal's text as it shows it, scrollback included, one string a row,
  // without the empty rows below the last one written.
  async function screen() {
    await shown();
    const buffer = terminal.buffer.active;
    const rows = [];
    for (let row = 0; row < buffer.length; row++) {
      rows.push(buffer.getLine(row).translateToString(true));
    }
    while (rows.length > 0 && rows[rows.length - 1] === "") rows.pop();
    return rows;
  }

  newGameButton.addEventListener("click", () => newGame());

  beginGame();
  window.dusk = dusk;
  engine.catch((error) => {
    statusElement.textContent = `The game could not start: ${error}`;
  });
})();
