// How the page writes the board's numbers.

// 125000000 -> "125 MHz", 123125000 -> "123.125 MHz", exactly.
export function hertz_text(hertz) {
  const whole = Math.floor(hertz / 1e6);
  const fraction = String(hertz % 1e6).padStart(6, '0').replace(/0+$/, '');
  return `${whole}${fraction ? `.${fraction}` : ''} MHz`;
}

// 0x1a -> "0x01A" (addresses), 0x1a -> "0x1A" (values).
export function address_text(address) {
  return `0x${address.toString(16).toUpperCase().padStart(3, '0')}`;
}

export function byte_text(value) {
  return `0x${value.toString(16).toUpperCase().padStart(2, '0')}`;
}

export function bytes_text(count) {
  return `${count.toLocaleString('en-US')} bytes`;
}
