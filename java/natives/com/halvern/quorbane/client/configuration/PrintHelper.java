package com.halvern.quorbane.client.configuration;

/** Printing and disk-space natives of the Helper library. */
public final class PrintHelper {
    static {
        System.loadLibrary("Helper");
    }

    private PrintHelper() {}

    /** The names of the printers; null when the spooler cannot list them. */
    public static native String[] getPrinters();

    /** The driver name of a printer; null when it cannot be opened. */
    public static native String getPrinterDriver(String printer);

    /** Prints a PDF file with the standard overlay; the PDF library's result, -1 on failure. */
    public static native int print(String file, String printer, int copies);

    /** Prints a PDF file with an overlay text at (x, y); the PDF library's result, -1 on failure. */
    public static native int printOverLayText(String file, String printer, String text, int copies,
                                              int x, int y);

    /** The size of the disk that holds the path, in bytes; 0 when it cannot be read. */
    public static native long getDiskSpace(String path);

    /** The free space of the whole disk that holds the path, in bytes; 0 when unreadable. */
    public static native long getAvailableDiskSpace(String path);
}
