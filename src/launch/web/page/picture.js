// The game's picture on the page: each update lands in a canvas at the
// game's own size, which is drawn onto the screen's canvas scaled up by
// whole factors with hard edges to just at least the box it is shown in;
// the browser shrinks it the rest of the way smoothly (crisp pixels, even
// rows). The box and the canvas's size are the module's (vexlo_web_place),
// by the desktop window's rules.

export class Picture {
  constructor(screen) {
    this.screen = screen;
    this.screenContext = screen.getContext('2d', { alpha: false });
    this.frame = document.createElement('canvas');
    this.frameContext = this.frame.getContext('2d', { alpha: false });
    this.frameImage = null;
    this.drawPending = false;
    this.presented = false;   // a frame has come
    this.onFirstDraw = null;  // called when the first frame reaches the screen
  }

  present(rgba, width, height) {
    if (!this.frameImage || this.frameImage.width !== width || this.frameImage.height !== height) {
      this.frame.width = width;
      this.frame.height = height;
      this.frameImage = this.frameContext.createImageData(width, height);
    }
    this.frameImage.data.set(rgba);
    this.frameContext.putImageData(this.frameImage, 0, 0);
    this.presented = true;
    this.requestDraw();
  }

  // The box the picture takes on the page and the canvas behind it, in CSS
  // and device pixels, as the module placed them (ModuleBridge.place).
  fit({ boxWidth, boxHeight, canvasWidth, canvasHeight }) {
    this.screen.style.width = `${boxWidth}px`;
    this.screen.style.height = `${boxHeight}px`;
    if (this.screen.width !== canvasWidth || this.screen.height !== canvasHeight) {
      this.screen.width = canvasWidth;
      this.screen.height = canvasHeight;
    }
    this.draw();
  }

  draw() {
    this.drawPending = false;
    if (!this.frameImage) return;
    this.screenContext.imageSmoothingEnabled = false;
    this.screenContext.drawImage(this.frame, 0, 0, this.screen.width, this.screen.height);
    if (this.presented && this.onFirstDraw) {
      this.onFirstDraw();
      this.onFirstDraw = null;
    }
  }

  requestDraw() {
    if (this.drawPending) return;
    this.drawPending = true;
    requestAnimationFrame(() => this.draw());
  }

  // The frame last shown, at the game's own size, as RGBA bytes.
  pixels() { return this.frameContext.getImageData(0, 0, this.frame.width, this.frame.height).data; }
}
