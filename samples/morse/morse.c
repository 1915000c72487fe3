/* morse: blinks a message in Morse code on P1.0 and sends every letter on the UART as it is
 * blinked (9600 baud with an 11.0592 MHz crystal). A program of about a kilobyte: enough to fill
 * the buffer viewer and to watch the progress of a download. */
#include <8051.h>

static const char message[] = "ZVKISP SAYS HELLO FROM AN 8051 ";

/* Letters A to Z, then digits 0 to 9: '.' a dot, '-' a dash. */
static const char *const code[36] = {
    ".-",    "-...",  "-.-.",  "-..",   ".",     "..-.",  "--.",   "....",  "..",    ".---",
    "-.-",   ".-..",  "--",    "-.",    "---",   ".--.",  "--.-",  ".-.",   "...",   "-",
    "..-",   "...-",  ".--",   "-..-",  "-.--",  "--..",  "-----", ".----", "..---", "...--",
    "....-", ".....", "-....", "--...", "---..", "----.",
};

static void delay_units(unsigned char units)
{
    unsigned int i;
    while (units--)
        for (i = 0; i < 6000; i++)
            ;
}

static void uart_init(void)
{
    SCON = 0x50;   /* mode 1, receiver on */
    TMOD = 0x20;   /* timer 1, 8-bit auto reload */
    TH1 = 0xFD;    /* 9600 baud at 11.0592 MHz */
    TR1 = 1;
    TI = 1;
}

static void uart_put(char c)
{
    while (!TI)
        ;
    TI = 0;
    SBUF = c;
}

static void blink_symbol(char symbol)
{
    P1_0 = 0;                           /* LED on (active low) */
    delay_units(symbol == '-' ? 3 : 1);
    P1_0 = 1;
    delay_units(1);                     /* gap inside a letter */
}

static void blink_char(char c)
{
    const char *s;
    if (c >= 'A' && c <= 'Z')
        s = code[c - 'A'];
    else if (c >= '0' && c <= '9')
        s = code[26 + c - '0'];
    else {
        delay_units(7);                 /* gap between words */
        return;
    }
    while (*s)
        blink_symbol(*s++);
    delay_units(2);                     /* gap between letters (3 units with the last symbol's) */
}

void main(void)
{
    const char *p;
    uart_init();
    for (;;) {
        for (p = message; *p; p++) {
            uart_put(*p);
            blink_char(*p);
        }
        uart_put('\r');
        uart_put('\n');
    }
}
