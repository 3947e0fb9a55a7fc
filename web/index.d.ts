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

/** palette-translate's status: 0 done, -1 usage or files, -2 refused input, -3 palette full. */
export type TranslateStatus = 0 | -1 | -2 | -3;

export interface TranslateResult {
  status: TranslateStatus;
  /** The output file's bytes, or null when the input was refused. */
  output: Uint8Array | null;
  /** What palette-translate printed: the banner, and the reason where it refused. */
  text: string;
}

export function translate(bytes: Uint8Array | ArrayLike<number>, options?: TranslateOptions): Promise<TranslateResult>;

export interface InspectOptions {
  /** Inspect the file as --compact-palette takes it. */
  compactPalette?: boolean;
}

/** A bitmap's headers as stored (a PNG has "png" instead). */
export interface InspectedHeader {
  size_field: number;
  pixel_offset: number;
  info_size: number;
  core_header: boolean;
  width: number;
  height: number;
  top_down: boolean;
  bits: number;
  compression: number;
  colors_used: number;
}

export interface InspectedPng {
  /** 0 grayscale, 2 RGB, 3 palette, 4 gray and alpha, 6 RGBA. */
  color_type: 0 | 2 | 3 | 4 | 6;
  bit_depth: number;
  interlaced: boolean;
  palette_entries: number;
  transparent_entries: number[];
}

export interface InspectedPaletteEntry {
  index: number;
  red: number;
  green: number;
  blue: number;
  /** "#RRGGBB" */
  hex: string;
  pixels: number;
  /** A PNG's entries only. */
  alpha?: number;
  /** "background", "marker yellow", "gray ramp 70" ... or null. */
  role: string | null;
}

/** What --compact-palette would do for a file refused for want of palette room. */
export type CompactPaletteAdvice =
  | 'would_translate'
  | 'would_translate_at_percentage_0'
  | 'would_make_room_for_grays'
  | 'would_not_help';

/** One file as palette-inspect --json reports it; members past "problem" appear as far as
 *  the file could be read. */
export interface InspectedFile {
  path: string;
  /** The path's bytes in hex, where they are not UTF-8. */
  path_hex?: string;
  ok: boolean;
  /** The status palette-translate would end with, as a shell shows it. */
  status: 0 | 253 | 254 | 255;
  verdict?: 'usable' | 'usable_without_grays' | 'refused';
  problem?: string;
  compact_palette?: CompactPaletteAdvice;
  file_size?: number;
  format?: 'bmp' | 'png';
  header?: InspectedHeader;
  png?: InspectedPng;
  /** A true-colour picture's distinct colours; null where they pass 256. */
  colours?: number | null;
  background_advice?: string;
  stride?: number;
  used_count?: number;
  used_count_raised_from?: number;
  first_pixel?: number;
  distinct_values?: number;
  compacted?: true;
  palette?: InspectedPaletteEntry[];
}

/** The object palette-inspect --json prints: one entry for the bytes. */
export interface InspectResult {
  files: InspectedFile[];
}

export function inspect(bytes: Uint8Array | ArrayLike<number>, options?: InspectOptions): Promise<InspectResult>;
