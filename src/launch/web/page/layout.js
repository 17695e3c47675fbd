// Where the picture, the touch buttons and the side panel go, for the
// space the page has (the window, or the whole screen in full screen,
// which takes all three):
//
//   desk     no touch buttons: the picture as large as it fits, the side
//            panel beside it when the black bars leave room for it
//   beside   a touch screen held sideways: steering left of the picture,
//            speed right of it, within thumbs' reach
//   under    a touch screen held upright: the picture across the top, the
//            buttons under it, the side panel between when there is room
//
// The side panel otherwise lies over the picture (data-side="over").

const SideWidth = 240;      // px: the least the side panel takes beside the picture
const SideWidest = 360;
const SideHeight = 150;     // px: the least the panel needs under it
const PadWidth = 112;       // px: the least a column of thumb buttons takes

export function arrange(app, touch) {
  const footer = app.querySelector('footer');
  const pad = app.querySelector('#steer');
  const width = app.clientWidth;
  const layout = !touch ? 'desk' : width > app.clientHeight ? 'beside' : 'under';
  app.dataset.layout = layout;
  const height = app.clientHeight - (footer.offsetParent ? footer.offsetHeight : 0);
  let side = 'over';
  if (layout === 'desk') {
    const room = width - (height * 4) / 3;
    if (room >= SideWidth) side = 'beside';
    app.style.setProperty('--side-width', `${Math.floor(Math.min(room, SideWidest))}px`);
  } else if (layout === 'beside') {
    const stageWidth = Math.max(0, Math.min((height * 4) / 3, width - 2 * PadWidth));
    app.style.setProperty('--stage-width', `${Math.floor(stageWidth)}px`);
  } else {
    const stageHeight = Math.max(0, Math.min((width * 3) / 4, height - pad.offsetHeight));
    app.style.setProperty('--stage-height', `${Math.floor(stageHeight)}px`);
    if (height - pad.offsetHeight - stageHeight >= SideHeight) side = 'under';
  }
  app.dataset.side = side;
}
