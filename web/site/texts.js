// The page's texts, one table per language. The messages about files come from the core and
// are the converter's own (Japanese) in either language.
export const TEXTS = {
  ja: {
    lang: 'ja',
    heading: 'QelvaView',
    intro: 'ゲームのﾌｫﾙﾀﾞかﾌｧｲﾙを選ぶか、ここにﾄﾞﾛｯﾌﾟしてください。ﾌｧｲﾙはこのｺﾝﾋﾟｭｰﾀから出ません。',
    chooseFiles: 'ﾌｧｲﾙを選ぶ',
    chooseFolder: 'ﾌｫﾙﾀﾞを選ぶ',
    dropHere: 'ここにﾌｧｲﾙかﾌｫﾙﾀﾞをﾄﾞﾛｯﾌﾟ',
    pictures: '画像',
    failures: '読めなかったﾌｧｲﾙ',
    counting: (n) => `${n} 枚`,
    done: (n) => `${n} 枚の画像`,
    downloadAll: 'すべてﾀﾞｳﾝﾛｰﾄﾞ',
    downloadType: 'ﾀﾞｳﾝﾛｰﾄﾞする形式',
    saveAs: '名前を付けて保存',
    saveType: '保存する形式',
    copy: 'ｺﾋﾟｰ',
    copied: 'PNG としてｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました',
    copyFailed: 'ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰできません',
    back: '一覧に戻る',
    previous: '前へ',
    next: '次へ',
    zoom: '表示',
    zipping: 'ZIP を作成中',
    zipDone: (n, failed) => `${n} 個のﾌｧｲﾙを ZIP にしました` + (failed ? `（${failed} 個は失敗）` : ''),
    language: 'Language: English',
    keys: '←/→ 前後の画像、1-4 表示倍率、Esc 一覧',
    workerFailed: '処理中にｴﾗｰが発生しました',
  },
  en: {
    lang: 'en',
    heading: 'QelvaView',
    intro: 'Choose the game folder or files, or drop them here. Your files never leave this computer.',
    chooseFiles: 'Choose files',
    chooseFolder: 'Choose a folder',
    dropHere: 'Drop files or a folder here',
    pictures: 'Pictures',
    failures: 'Files that could not be read',
    counting: (n) => `${n} so far`,
    done: (n) => `${n} pictures`,
    downloadAll: 'Download all',
    downloadType: 'Type to download',
    saveAs: 'Save',
    saveType: 'Type to save',
    copy: 'Copy',
    copied: 'Copied to the clipboard as PNG',
    copyFailed: 'Could not copy to the clipboard',
    back: 'Back to the list',
    previous: 'Previous',
    next: 'Next',
    zoom: 'Zoom',
    zipping: 'Making the ZIP',
    zipDone: (n, failed) => `${n} files in the ZIP` + (failed ? ` (${failed} failed)` : ''),
    language: '言語: 日本語',
    keys: '←/→ previous/next, 1-4 zoom, Esc back to the list',
    workerFailed: 'Something went wrong while working',
  },
};

// The converter's eight types, as the lists offer them.
export const TYPE_NAMES = [
  'BMP', 'BMP (RLE)', 'GIF87a', 'GIF87a (interlaced)', 'GIF89a (0 transparent)',
  'GIF89a (0 transparent, interlaced)', 'PNG', 'PNG (0 transparent)',
];

export function languageOf(navigatorLanguages) {
  for (const l of navigatorLanguages || []) {
    if (/^ja\b/i.test(l)) return 'ja';
    if (/^en\b/i.test(l)) return 'en';
  }
  return 'en';
}
