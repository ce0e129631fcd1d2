// The page: the game's screens as a transcript of <pre> blocks, a native input
// line, and buttons for the choices of the screen the game waits at, in front
// of the game's engine (dusk.js, the game compiled to WebAssembly).
//
// The engine asks for input through read() and waits only when all that was
// sent has been read; a screen is everything it printed since it last waited.
// The title, the same in every game, is in the page from the start.
//
// A long game keeps the page small: the transcript holds the newest screens
// only, and what window.dusk keeps of the output and of the screens announced
// is bounded the same way, unless a script asks for everything (record()).
//
// window.dusk is for tests and anyone scripting the page (see web/README.md).
(() => {
  "use strict";
  const byId = (id) => document.getElementById(id);
  const [older, history, latest, dock, choices, form, field, statusLine, newGameButton] =
    ["older", "history", "latest", "dock", "choices", "move", "line", "status", "new-game"].map(byId);
  const encoder = new TextEncoder();
  const choiceLine = /^\d+:/;
  // Screens in the transcript (and in `announced`), and bytes of `output`
  // (at least; it is cut back to that only once it holds twice as many, as
  // cutting a string copies it).
  const limits = Object.freeze({ screens: 300, output: 64 * 1024 });

  const dusk = {
    output: "",
    written: 0,
    waits: 0,
    ended: false,
    status: null,
    choices: Array.from(choices.children, (button) => button.textContent),
    announced: [],
    limits,
    record,
    type: send,
    newGame,
    settled,
    shown: settled,
    screen,
  };

  let lines = []; // sent and not read yet, as bytes; an empty one ends the input
  let wakeReader = null;
  let printed = ""; // since the game last waited
  let title = latest.querySelector("pre"); // shown before the engine started
  let startNextGame = null;
  let restarting = false;
  let byTouch = false;
  let recording = false;
  let screensShown = 1; // in the transcript: the title
  let screensGone = 0; // from its top
  const waiters = [];

  // --- what the engine calls -----------------------------------------------------

  // Resolves to the next bytes sent, at most `size` of them; none at the end of
  // the input. `pause` tells whether the game waits for Enter alone.
  async function read(size, pause) {
    if (title) {
      if (printed.startsWith(title.textContent)) printed = printed.slice(title.textContent.length);
      else {
        title.remove();
        screensShown--;
      }
      title = null;
    }
    if (lines.length === 0) {
      dusk.waits++;
      showScreen();
      offer(pause);
      const sent = new Promise((resolve) => (wakeReader = resolve));
      release();
      await sent;
    }
    const line = lines[0];
    if (line.length <= size) return lines.shift();
    lines[0] = line.subarray(size);
    return line.subarray(0, size);
  }

  function write(bytes) {
    // One character a byte: the game prints plain ASCII, and this keeps
    // `output` exact whatever it prints.
    let text = "";
    for (let start = 0; start < bytes.length; start += 8192) {
      text += String.fromCharCode.apply(null, bytes.subarray(start, start + 8192));
    }
    printed += text;
    dusk.output += text;
    dusk.written += text.length;
  }

  // Resolves when the player asks for a new game.
  function ended(status) {
    if (restarting) {
      restarting = false;
      begin();
      return Promise.resolve();
    }
    showScreen();
    offer(null);
    Object.assign(dusk, { ended: true, status });
    statusLine.textContent = "The game has ended.";
    newGameButton.focus();
    release();
    return new Promise((resolve) => (startNextGame = resolve));
  }

  // --- the transcript ------------------------------------------------------------

  // The screen just printed, announced through the live region; the screens
  // before it move to the history, which is not read out again.
  function showScreen() {
    if (printed === "") return;
    const block = document.createElement("pre");
    block.textContent = printed;
    history.append(...latest.childNodes);
    latest.append(block);
    dusk.announced.push(printed);
    dusk.choices = printed.split("\n").filter((line) => choiceLine.test(line));
    printed = "";
    screensShown++;
    forgetOldest();
  }

  // The oldest screens (with the lines sent at them) leave the transcript,
  // and the line at its top says how many went; `output` and `announced`
  // keep as much, unless recording.
  function forgetOldest() {
    const before = screensGone;
    while (screensShown > limits.screens) {
      const oldest = history.firstChild;
      if (oldest.className !== "typed") {
        screensShown--;
        screensGone++;
      }
      oldest.remove();
    }
    while (screensGone > before && history.firstChild?.className === "typed") history.firstChild.remove();
    if (screensGone > before) {
      older.textContent = `${screensGone} earlier ${screensGone === 1 ? "screen is" : "screens are"} no longer shown.`;
      older.hidden = false;
    }
    if (recording) return;
    if (dusk.announced.length > limits.screens) dusk.announced.splice(0, dusk.announced.length - limits.screens);
    if (dusk.output.length > 2 * limits.output) dusk.output = dusk.output.slice(-limits.output);
  }

  // From now on (for this game and the next), `output` and `announced` keep
  // everything; they are whole as long as neither has been cut yet.
  function record() {
    recording = true;
  }

  // Buttons for the choices on the screen (a menu), Continue (a pause), or none.
  function offer(pause) {
    if (pause !== false) dusk.choices = pause ? ["Continue"] : [];
    choices.replaceChildren(
      ...dusk.choices.map((choice) => {
        const button = document.createElement("button");
        button.type = "button";
        button.textContent = choice;
        button.value = pause ? "" : choice.slice(0, choice.indexOf(":"));
        return button;
      }),
    );
    if (!byTouch) field.focus({ preventScroll: true });
    // The newest screen in view above the choices, from its first line when
    // it is taller than the room there, else the whole of it. The page jumps
    // there at once: it never scrolls while a finger is on its way.
    const bottom = document.documentElement.scrollHeight - innerHeight;
    scrollTo({ top: Math.min(bottom, (latest.lastChild?.offsetTop ?? bottom) - 8), behavior: "instant" });
  }

  // Sends one line, shown in the transcript where a console echoes it; once
  // the game has ended, there is no one to send it to.
  function send(line) {
    if (dusk.ended) return;
    const echo = document.createElement("pre");
    echo.className = "typed";
    echo.textContent = line;
    history.append(...latest.childNodes, echo);
    choices.replaceChildren();
    lines.push(encoder.encode(line + "\n"));
    wake();
  }

  // Ends the input, as Ctrl-D does on an empty line at a console.
  function endInput() {
    lines.push(new Uint8Array());
    wake();
  }

  function wake() {
    const resolve = wakeReader;
    wakeReader = null;
    resolve?.();
  }

  function release() {
    for (const resolve of waiters.splice(0)) resolve();
  }

  function begin() {
    lines = [];
    printed = "";
    Object.assign(dusk, { output: "", written: 0, waits: 0, ended: false, status: null, choices: [], announced: [] });
    history.replaceChildren();
    latest.replaceChildren();
    choices.replaceChildren();
    [screensShown, screensGone, older.hidden] = [0, 0, true];
    statusLine.textContent = "";
    if (!byTouch) field.focus();
  }

  // --- window.dusk -----------------------------------------------------------------

  // Starts a new game from the title; a game in progress is ended first, as if
  // its input had ended.
  function newGame() {
    if (dusk.ended) {
      const start = startNextGame;
      startNextGame = null;
      begin();
      start();
    } else {
      restarting = true;
      endInput();
    }
    return settled();
  }

  // Resolves when the game waits for the player, its screen in the page, or
  // has ended.
  function settled() {
    if (dusk.ended || (wakeReader && lines.length === 0)) return Promise.resolve();
    return new Promise((resolve) => waiters.push(resolve));
  }

  // The transcript's text: the game's screens, and each line sent where a
  // console echoes it.
  async function screen() {
    await settled();
    const blocks = document.querySelectorAll("#transcript pre");
    return Array.from(blocks, (block) => block.textContent + (block.className ? "\n" : "")).join("");
  }

  // --- the player --------------------------------------------------------------

  form.addEventListener("submit", (event) => {
    event.preventDefault();
    byTouch = false;
    const line = field.value;
    field.value = "";
    send(line);
  });
  choices.addEventListener("click", (event) => {
    const button = event.target.closest("button");
    if (!button) return;
    // A tap leaves the on-screen keyboard closed for the next screen.
    byTouch = event.pointerType === "touch";
    send(button.value);
  });
  // Several lines pasted are several lines sent; what follows the last line
  // break stays in the field.
  field.addEventListener("paste", (event) => {
    const text = event.clipboardData.getData("text/plain");
    if (!/[\r\n]/.test(text)) return;
    event.preventDefault();
    const { value, selectionStart, selectionEnd } = field;
    const pasted = (value.slice(0, selectionStart) + text + value.slice(selectionEnd)).split(/\r\n|\r|\n/);
    field.value = pasted.pop();
    byTouch = false;
    pasted.forEach(send);
  });
  field.addEventListener("keydown", (event) => {
    if (event.ctrlKey && event.key.toLowerCase() === "d" && field.value === "") {
      event.preventDefault();
      endInput();
    }
  });
  newGameButton.addEventListener("click", (event) => {
    byTouch = event.pointerType === "touch";
    newGame();
  });
  // A phone's keyboard takes part of the screen. Where the browser does not
  // make the page smaller for it (interactive-widget in the viewport), the
  // choices and the input line move up above it.
  const viewport = window.visualViewport;
  const clearOfKeyboard = () => {
    const covered = Math.max(0, Math.round(innerHeight - viewport.height - viewport.offsetTop));
    dock.style.bottom = covered ? `${covered}px` : "";
  };
  viewport?.addEventListener("resize", clearOfKeyboard);
  viewport?.addEventListener("scroll", clearOfKeyboard);

  window.dusk = dusk;

  // The engine, once the page has drawn its first screen: its module
  // compiles as soon as dusk-module.js runs, and the game starts with dusk.js.
  requestAnimationFrame(() => setTimeout(loadEngine));

  function loadEngine() {
    const failed = (error) => (statusLine.textContent = `The game could not start: ${error}`);
    const [, glue] = ["dusk-module.js", "dusk.js"].map((src) => {
      const script = Object.assign(document.createElement("script"), { src, async: false });
      script.addEventListener("error", () => failed(`${src} did not load`));
      return document.body.appendChild(script);
    });
    glue.addEventListener("load", () =>
      createDuskEngine({
        instantiateWasm(imports, receiveInstance) {
          duskModule
            .then((module) => WebAssembly.instantiate(module, imports))
            .then(receiveInstance, failed);
          return {};
        },
        page: { read, write, ended },
      }).catch(failed));

    // The manifest (to install the page) and the worker that keeps the site
    // for playing offline; a browser has neither for a page opened from disk.
    if (location.protocol === "file:") return;
    document.head.append(Object.assign(document.createElement("link"), { rel: "manifest", href: "manifest.webmanifest" }));
    navigator.serviceWorker?.register("sw.js").catch((error) => console.warn(`No offline play: ${error}`));
  }
})();
