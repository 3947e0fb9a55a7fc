// The JavaScript API as an ES module: import {translate, inspect} from
// 'quorl-palette-translation' gives the very functions require() does.
import api from './index.js';

export const {translate, inspect} = api;
export default api;
