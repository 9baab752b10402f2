// The converter's order of a folder's files: each folder's files by name in byte order, then its
// subfolders by name, each with everything below it. Paths are "/"-separated.

// A path as the list of its parts, each a string of its UTF-8 bytes (so that comparing two parts
// compares their bytes), and a mark for the last part, the file's name.
function keyOf(path) {
  return path.split('/').map((part) => unescape(encodeURIComponent(part)));
}

function compareKeys(a, b) {
  for (let i = 0; i < Math.min(a.length, b.length); i++) {
    const aIsFile = i === a.length - 1;
    const bIsFile = i === b.length - 1;
    if (aIsFile !== bIsFile) return aIsFile ? -1 : 1;
    if (a[i] !== b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return a.length - b.length;
}

export function compareFolderOrder(a, b) {
  return compareKeys(keyOf(a), keyOf(b));
}

// The items sorted by their paths (pathOf(item)) in the converter's order; each key made once.
export function sortInFolderOrder(items, pathOf) {
  return items
    .map((item) => ({ item, key: keyOf(pathOf(item)) }))
    .sort((x, y) => compareKeys(x.key, y.key))
    .map((x) => x.item);
}
