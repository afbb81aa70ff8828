// Java's own writer, java.util.zip.ZipOutputStream, for the differential test.
// Usage: WriteArchives DIRECTORY [wrapped]
// Without "wrapped": a deflated and a stored archive with Chinese and accented
// names, comments and an extra field, and an archive of 65,535 entries (for
// which it writes ZIP64 records). With "wrapped" (run with
// -Djdk.util.zip.inhibitZip64=true): 70,001 entries and no ZIP64 records, the
// entry count wrapped at 65,536 as older writers leave it.
import java.io.BufferedOutputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.zip.CRC32;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

public class WriteArchives {
  static final String[] NAMES = {
    "META-INF/MANIFEST.MF",
    "templates/报表模板.txt",
    "i18n/消息.properties",
    "static/café/naïve façade.txt",
    "com/example/Relay.class",
  };

  static byte[] Content(String name, int copies) {
    StringBuilder text = new StringBuilder();
    for (int i = 0; i < copies; ++i) text.append(name).append(" line ").append(i).append('\n');
    return text.toString().getBytes(StandardCharsets.UTF_8);
  }

  static void Small(String path, int method) throws IOException {
    try (ZipOutputStream out = new ZipOutputStream(new BufferedOutputStream(new FileOutputStream(path)))) {
      out.setComment("由 ZipOutputStream 写成 — archive comment");
      out.setMethod(method);
      for (String name : NAMES) {
        byte[] data = Content(name, 2000);
        ZipEntry entry = new ZipEntry(name);
        entry.setComment("条目注释 " + name);
        // An extra field of an id no reader knows: it must be skipped.
        entry.setExtra(new byte[] {(byte) 0xFE, (byte) 0xCA, 4, 0, 'w', 'k', '!', '!'});
        if (method == ZipEntry.STORED) {
          CRC32 crc = new CRC32();
          crc.update(data);
          entry.setSize(data.length);
          entry.setCompressedSize(data.length);
          entry.setCrc(crc.getValue());
        }
        out.putNextEntry(entry);
        out.write(data);
        out.closeEntry();
      }
    }
  }

  static void Many(String path, int count) throws IOException {
    try (ZipOutputStream out = new ZipOutputStream(new BufferedOutputStream(new FileOutputStream(path)))) {
      for (int i = 0; i < count; ++i) {
        out.putNextEntry(new ZipEntry("e/" + i + ".txt"));
        out.write(("entry " + i).getBytes(StandardCharsets.UTF_8));
        out.closeEntry();
      }
    }
  }

  public static void main(String[] args) throws IOException {
    String dir = args[0] + "/";
    if (args.length > 1 && args[1].equals("wrapped")) {
      Many(dir + "ok-java-70001-no-zip64.jar", 70001);
      return;
    }
    Small(dir + "ok-java-deflated.jar", ZipEntry.DEFLATED);
    Small(dir + "ok-java-stored.jar", ZipEntry.STORED);
    Many(dir + "ok-java-65535.jar", 65535);
  }
}
