// Opens each archive named on the command line with java.util.zip.ZipFile, the
// reader behind `java -jar` and the class loader, and reads every entry to its
// end. One line a file: the path, a tab, then "read <entries>" or
// "refused: <why>".
// ZipFile hands out an entry's bytes without comparing them with the declared
// CRC-32 and size (ZipInputStream compares them): that comparison is made
// here, so that an entry whose bytes are not the ones stored counts as refused.
import java.io.IOException;
import java.io.InputStream;
import java.util.Enumeration;
import java.util.zip.CRC32;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

public class ReadEveryEntry {
  public static void main(String[] args) {
    byte[] buffer = new byte[64 * 1024];
    for (String path : args) {
      String verdict;
      try (ZipFile zip = new ZipFile(path)) {
        int count = 0;
        for (Enumeration<? extends ZipEntry> entries = zip.entries(); entries.hasMoreElements(); ) {
          ZipEntry entry = entries.nextElement();
          CRC32 crc = new CRC32();
          long size = 0;
          try (InputStream in = zip.getInputStream(entry)) {
            for (int n; (n = in.read(buffer)) > 0; ) {
              crc.update(buffer, 0, n);
              size += n;
            }
          }
          if (crc.getValue() != entry.getCrc() || size != entry.getSize()) {
            throw new IOException("entry " + entry.getName() + ": CRC-32 or size differs");
          }
          ++count;
        }
        verdict = "read " + count;
      } catch (Exception | Error e) {
        verdict = "refused: " + e;
      }
      System.out.println(path + "\t" + verdict);
    }
  }
}
