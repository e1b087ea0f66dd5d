// The log: the core's text exactly as the flash tool prints it on a terminal (a progress record
// that starts with a carriage return overwrites the line it stands on), and the page's own lines.
export class Log {
  constructor(element) {
    this.element = element;
    this.done = document.createTextNode('');
    this.open = document.createElement('span');
    element.append(this.done, this.open);
    this.lines = [];
    this.current = '';
  }

  // Text as printed: it may hold several lines, line ends and carriage returns.
  write(text) {
    const parts = text.split(/(\r|\n)/);
    for (const part of parts) {
      if (part === '\n') {
        this.lines.push(this.current);
        this.done.appendData(this.current + '\n');
        this.current = '';
      } else if (part === '\r') {
        this.current = '';
      } else {
        this.current += part;
      }
    }
    this.open.textContent = this.current;
    this.element.scrollTop = this.element.scrollHeight;
  }

  // A line of the page's own, on a line of its own.
  line(text) {
    if (this.current !== '') this.write('\n');
    this.write(text + '\n');
  }

  text() {
    return this.lines.join('\n') + '\n' + this.current;
  }

  save() {
    const url = URL.createObjectURL(new Blob([this.text()], { type: 'text/plain' }));
    const link = document.createElement('a');
    link.href = url;
    link.download = 'veltrin.log';
    link.click();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
  }
}
