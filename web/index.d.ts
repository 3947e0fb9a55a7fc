// Types of the JavaScript API of quorl-palette-translation.

export interface TranslateOptions {
  /** Tolerances around the background colour, 0 to 255 (default 40 each). */
  red?: number;
  green?: number;
  blue?: number;
  /** The share of near-background pixels that become background, 0 to 100 (default 30). */
  percent?: number;
  /** Cut the palette to the colours the pixels use first, as --compact-palette does. */
  compactPalette?: boolean;
  /** The output's form; by default the input's own. */
  outputFormat?: 'bmp' | 'png';
}

export interface TranslateResult {
  /** palette-translate's status: 0, or -1 (usage, files), -2 (refused input), -3 (palette full). */
  status: number;
  /** The output file's bytes, or null when the input was refused. */
  output: Uint8Array | null;
  /** What palette-translate printed: the banner, and the reason where it refused. */
  text: string;
}

export function translate(bytes: Uint8Array | ArrayLike<number>, options?: TranslateOptions): Promise<TranslateResult>;

/** The object palette-inspect --json prints: {files: [...]} with one entry for the bytes. */
export function inspect(bytes: Uint8Array | ArrayLike<number>, options?: {compactPalette?: boolean}): Promise<any>;
