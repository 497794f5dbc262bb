// The sound formats a signal may be uploaded in. MP3 and WAV play on every system, MP4 only on Windows,
// and the player does not say which system it runs on: MP4 is named only once its library holds an MP4
// signal, which it takes only where it plays them, and never after it refused one.

const BASE = [
  { name: 'MP3', extension: 'mp3', types: ['audio/mpeg'] },
  { name: 'WAV', extension: 'wav', types: ['audio/wav'] },
];
const MP4 = { name: 'MP4', extension: 'mp4', types: ['audio/mp4'] };

/** "mp4" of "Bell.MP4"; '' without one. */
export const extensionOf = (filename) => {
  const m = /\.([^./\\]+)$/.exec(filename || '');
  return m ? m[1].toLowerCase() : '';
};

/** signals: the library ({filename}); mp4Refused: the player refused an MP4 upload. */
export function acceptedFormats(signals, { mp4Refused = false } = {}) {
  const hasMp4 = (signals || []).some((s) => extensionOf(s.filename) === MP4.extension);
  return hasMp4 && !mp4Refused ? [...BASE, MP4] : BASE;
}

/** "MP3 or WAV", "MP3, WAV or MP4". */
export function formatsText(formats) {
  const names = formats.map((f) => f.name);
  return names.length < 2 ? names.join('') : `${names.slice(0, -1).join(', ')} or ${names[names.length - 1]}`;
}

/** The file picker's accept attribute. */
export function acceptText(formats) {
  return formats.flatMap((f) => [`.${f.extension}`, ...f.types]).join(',');
}
