// The page's texts in the chosen language: the application's table and the page's own texts.
import { texts } from './texts.js';
import { pageTexts } from './page_texts.js';

let language = 0;  // 0 English, 1 Russian, as the application counts them
const storageKey = 'InterfaceLanguage';

export function chooseInitialLanguage() {
  const stored = localStorage.getItem(storageKey);
  if (stored === '0' || stored === '1') {
    language = Number(stored);
  } else {
    language = (navigator.language || '').toLowerCase().startsWith('ru') ? 1 : 0;
  }
  return language;
}

export function setLanguage(index) {
  language = index === 1 ? 1 : 0;
  localStorage.setItem(storageKey, String(language));
  document.documentElement.lang = language === 1 ? 'ru' : 'en';
}

export function currentLanguage() {
  return language;
}

// The text for a key; an unknown key reads as itself, as in the application.
export function L(key) {
  const entry = texts[key] || pageTexts[key];
  return entry ? entry[language] : key;
}

// Fills the %@ placeholders in order with the values.
export function format(text, ...values) {
  let next = 0;
  return text.replace(/%@/g, () => (next < values.length ? String(values[next++]) : '%@'));
}
